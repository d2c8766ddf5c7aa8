# What a collector keeps between runs: the maximised window, the mark bin's
# Delete, a mark-bin export to CSV with each row's audio header and facts, a
# fact column shown from the list header's pop-up menu; then the cover page
# of a cover in a folder whose name a URI must escape.
import csv
import html
import os
import re
import shutil
import time
import urllib.parse

import pyatspi

from desktop import Failure, children, click, extents, find, has_state, key, named, wait_for, x_output, xdotool

DIALOG = (pyatspi.ROLE_DIALOG, pyatspi.ROLE_ALERT)
FACTS = ("audioheader", "size", "mtime", "dur", "kbps", "mode", "rate")  # what every scanned MP3 has
ART = "Art #1 (100%)"  # "#" and "%" mean something else in a URI


def _active_window():
    return x_output("xdotool", "getactivewindow").strip()


def _maximised():
    return "_NET_WM_STATE_MAXIMIZED_VERT" in x_output("xprop", "-id", _active_window(), "_NET_WM_STATE")


def _title_bar_double_click():
    window = _active_window()
    info = dict(line.strip().split(": ", 1) for line in x_output("xwininfo", "-id", window).splitlines()
                if ": " in line)
    x, y, w = (int(info[k]) for k in ("Absolute upper-left X", "Absolute upper-left Y", "Width"))
    top = int(x_output("xprop", "-id", window, "_NET_FRAME_EXTENTS").split("=")[1].split(",")[2])
    xdotool("mousemove", "--sync", str(x + w // 3), str(y - max(top // 2, 1)))
    xdotool("click", "--repeat", "2", "--delay", "80", "1")


def _header_menu(suite):
    x, y, _, _ = extents(suite.catalogue())
    suite.popups.last = None
    xdotool("mousemove", "--sync", str(x + 40), str(y + 8))
    xdotool("click", "3")
    return wait_for("the header's pop-up menu", lambda: suite.popups.last)


def collector_run(suite):
    def start():
        suite.start_window()
        suite.continue_by_enter()
        suite.main_active(6)

    def maximise_and_close():
        suite.main(active=True)
        _title_bar_double_click()
        wait_for("the main window maximised", _maximised)
        suite.close_unchanged()

    def restarts_maximised():
        start()
        wait_for("the main window maximised again", _maximised)

    def delete_in_bin():
        suite.mark_by_menu_key()
        before = suite.rows("Marked Bin")
        lists = (pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE)
        bin_list = wait_for("the mark bin", lambda: find(suite.main(), "Marked Bin", lists))
        click(bin_list.queryTable().getAccessibleAt(before - 1, 0))
        key("Delete")
        wait_for("the marked row gone from the bin", lambda: suite.rows("Marked Bin") == before - 1)
        if suite.rows("Catalogue") != 6:
            raise Failure("Delete in the bin changed the catalogue")

    def bin_to_csv():
        suite.mark_by_menu_key()
        marked = suite.rows("Marked Bin")
        target = os.path.join(suite.work, "marked.csv")
        suite.menu("Files", "Export", "Spreadsheet (CSV)...")
        suite.answer(f"Export which entries: the whole catalogue (6), the rows shown by the filter (6) or the mark "
                     f"bin ({marked})?", button="Mark Bin")
        suite.file_dialog("Spreadsheet (CSV)", target)
        suite.answer(f"{target} was exported.", timeout=10)
        with open(target, newline="", encoding="utf-8") as f:
            rows = list(csv.DictReader(f))
        if len(rows) != marked:
            raise Failure(f"{target} holds {len(rows)} rows, the mark bin {marked}")
        empty = [f"{row['filename']}: {column}" for row in rows for column in FACTS if not row.get(column)]
        if empty:
            raise Failure(f"{target} leaves empty: {', '.join(empty)}")

    def show_column():
        menu = _header_menu(suite)
        click(wait_for("its entry 'Bitrate'", lambda: find(menu, "Bitrate", showing=True)))
        time.sleep(0.3)
        suite.close_unchanged()
        state = os.path.join(os.environ["XDG_STATE_HOME"], "ondro", "state.ini")
        with open(state) as f:
            if "kbps=" not in f.read():
                raise Failure(f"{state} does not keep the shown column")

    def column_shown_again():
        start()
        menu = _header_menu(suite)
        entry = wait_for("its entry 'Bitrate'", lambda: find(menu, "Bitrate", showing=True))
        if not has_state(entry, pyatspi.STATE_CHECKED):
            raise Failure("'Bitrate' is not checked in the header's menu after the restart")
        key("Escape")
        suite.close_unchanged()

    suite.session([
        ("a start with 6 files, maximised by the title bar, closed", lambda: (start(), maximise_and_close()), True),
        ("the next start opens maximised", restarts_maximised, False),
        ("Delete in the mark bin removes its selected row, not the catalogue's", delete_in_bin, False),
        ("Files > Export > Spreadsheet (CSV)... of the mark bin fills each row's audio header and facts",
         bin_to_csv, False),
        ("the header's menu shows 'Bitrate'; Close keeps it in the state file", show_column, False),
        ("the next start shows 'Bitrate' checked in the header's menu", column_shown_again, False),
    ])

    art = os.path.join(suite.work, ART)
    cover = os.path.join(art, "Front #1 100%.png")
    page = os.path.join(suite.exports, "zembra.html")

    def art_scanned():
        shutil.copytree(os.path.join(suite.work, "media", "Jazz"), art)
        shutil.copy(os.path.join(suite.work, "media", "Front.png"), cover)
        suite.cli("scan", art, "--source", "ART1")
        suite.start_window()
        suite.continue_by_enter()
        suite.main_active(7)

    def cover_attached():
        suite.find("Art #1")
        key("Menu")
        time.sleep(0.4)
        key("i")  # "&Image Cover"
        title = "Attach Image Cover to MP3 Track(s)"
        window = suite.shows(named(title, DIALOG), f"the cover dialog {title!r}", active=True)
        folders = wait_for("its folder list", lambda: find(window, "Folder", (pyatspi.ROLE_LIST,)))
        for name in (os.path.basename(suite.work), ART):
            click(wait_for(f"the folder {name!r}",
                           lambda name=name: next((f for f in children(folders) if f.name.strip() == name), None)))
        files = wait_for("its file list", lambda: find(window, "Image file", (pyatspi.ROLE_LIST,)))
        click(wait_for(f"the file {os.path.basename(cover)!r}", lambda: find(files, os.path.basename(cover))))
        key("Return")
        suite.closes(named(title, DIALOG), "the cover dialog closes on Enter")

    def cover_page():
        if os.path.exists(page):
            os.remove(page)
        suite.menu("Files", "Export", "CD Covers (HTML)")
        wait_for(f"the page {page}", lambda: os.path.exists(page))
        with open(page, "rb") as f:
            text = f.read().decode("utf-8")
        if 'charset="utf-8"' not in text.lower():
            raise Failure(f"{page} declares no UTF-8: {text[:120]!r}")
        sources = [html.unescape(source) for source in re.findall(r'<img src="([^"]*)"', text, re.IGNORECASE)]
        paths = []
        for source in sources:
            uri = urllib.parse.urlparse(source)
            paths.append(urllib.parse.unquote(uri.path) if uri.scheme == "file" else f"not a file: URI: {source}")
        if cover not in paths:
            raise Failure(f"no <img src> of {page} reads back as {cover!r}: {sources!r} read as {paths!r}")

    def discarded():
        suite.close_answering("Discard")

    suite.session([
        (f"ondro-cli scans the folder {ART!r} as ART1, then a start with 7 files", art_scanned, True),
        (f"Find, the Menu key's 'Image Cover' attaches the cover in {ART!r}", cover_attached, False),
        ("Files > Export > CD Covers (HTML): the page declares UTF-8, its <img src> reads back as the cover's path",
         cover_page, False),
        ("Files > Close, 'Discard' ends it", discarded, False),
    ])
