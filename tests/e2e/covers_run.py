# Covers found where they are: a file whose ID3v2 tag holds a front cover
# and a file whose folder holds cover.jpg, scanned by ondro-cli; selecting
# each row shows its picture beside the list (a file with neither shows
# none), and the details window shows it too.
import os
import shutil
import subprocess

import pyatspi

from desktop import Failure, descendants, click, find, has_state, named, screenshot, texts, wait_for

DIALOG = (pyatspi.ROLE_DIALOG,)
BUTTON = (pyatspi.ROLE_PUSH_BUTTON,)
TOOLTIP = "CD/Cassette Cover Image"  # the picture's description, in both windows



def _synchsafe(n):
    return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])


def _frame(frame_id, data):
    return frame_id + len(data).to_bytes(4, "big") + b"\0\0" + data


def _with_front_cover(audio, png):
    """audio with an ID3v2.3 tag in front: a title and a PNG front cover."""
    body = _frame(b"TIT2", b"\0Pictured") + _frame(b"APIC", b"\0image/png\0\x03front\0" + png)
    return b"ID3\x03\0\0" + _synchsafe(len(body)) + body + audio


def _picture(window):
    """The cover picture showing in window, or None."""
    for d in descendants(window):
        try:
            if (d.getRole() == pyatspi.ROLE_IMAGE and d.description == TOOLTIP
                    and has_state(d, pyatspi.STATE_SHOWING) and d.queryComponent().getExtents(0).width > 0):
                return d
        except Exception:
            continue
    return None


def covers_run(suite):
    base = os.path.join(suite.work, "covers")
    rows = {}

    def scanned_then_started():
        shutil.rmtree(base, ignore_errors=True)
        os.makedirs(os.path.join(base, "Tagged"))
        os.makedirs(os.path.join(base, "Album"))
        with open(os.path.join(suite.work, "media", "Rock", "Song_One.mp3"), "rb") as f:
            audio = f.read()
        png = os.path.join(base, "front.png.tmp")
        subprocess.run(["convert", "-size", "40x40", "xc:blue", "png:" + png], check=True, timeout=20)
        with open(png, "rb") as f:
            picture = f.read()
        os.remove(png)
        with open(os.path.join(base, "Tagged", "pictured.mp3"), "wb") as f:
            f.write(_with_front_cover(audio, picture))
        shutil.copy(os.path.join(suite.work, "media", "Rock", "Song_Two.mp3"), os.path.join(base, "Album", "plain.mp3"))
        subprocess.run(["convert", "-size", "40x40", "xc:green", os.path.join(base, "Album", "cover.jpg")], check=True,
                       timeout=20)
        suite.cli("scan", base, "--source", "ART1")
        art = suite.cli("query", "has:art source:ART1").splitlines()
        if len(art) != 2:
            raise Failure(f"'has:art source:ART1' lists {art!r}, not the two files")
        total = len(suite.cli("list").splitlines())
        suite.start_window()
        suite.continue_by_enter()
        suite.main_active(total)
        table = suite.catalogue().queryTable()
        for r in range(table.nRows):
            rows[table.getAccessibleAt(r, 0).name] = r

    def row_of(ending):
        found = [r for path, r in rows.items() if path.endswith(ending)]
        if not found:
            raise Failure(f"no row ends with {ending!r} in {sorted(rows)!r}")
        return found[0]

    def select(ending):
        table = suite.catalogue().queryTable()
        row = row_of(ending)
        click(table.getAccessibleAt(row, 0))
        wait_for(f"the row {ending!r} selected", lambda: table.getSelectedRows() == [row])
        return table.getAccessibleAt(row, 0)

    def preview_shows(ending):
        def probe():
            select(ending)
            wait_for(f"the preview's picture for {ending!r}", lambda: _picture(suite.main()))
        return probe

    def preview_empty():
        select("Song_One.mp3")  # the first media run's file: neither tag picture nor folder picture
        wait_for("the preview's picture gone, 'No cover' left", lambda: _picture(suite.main()) is None)

    def details_show(ending):
        def probe():
            cell = select(ending)
            wait_for(f"the preview's picture for {ending!r}", lambda: _picture(suite.main()))
            path = cell.name
            click(cell, double=True)
            details = suite.shows(named(path, DIALOG), f"the details window {path!r}")
            wait_for("its cover picture, not 'No cover'",
                     lambda: _picture(details) if "No cover" not in texts(details) else None)
            screenshot(os.path.join(suite.args.out, f"covers-details-{ending.replace('/', '-')}.png"))
            click(wait_for("its button 'Ok'", lambda: find(details, "Ok", BUTTON)))
            suite.closes(named(path, DIALOG), "the details window closes")
        return probe

    suite.session([
        ("ondro-cli scans a tagged picture and a folder's cover.jpg ('has:art source:ART1' finds both), then a start",
         scanned_then_started, True),
        ("selecting the file whose tag holds a front cover shows it in the preview", preview_shows("Tagged/pictured.mp3"),
         False),
        ("a file with no picture shows 'No cover'", preview_empty, False),
        ("selecting the file beside cover.jpg shows the folder's picture", preview_shows("Album/plain.mp3"), False),
        ("the details window shows the tag's picture", details_show("Tagged/pictured.mp3"), False),
        ("the details window shows the folder's picture", details_show("Album/plain.mp3"), False),
        ("Files > Close ends the unchanged program", suite.close_unchanged, False),
    ])
