# Managing media from the Media window: a folder medium renamed (F2) and
# another removed (Delete, "Yes"), the main list following each; a folder
# moved away and back seen offline and online again by the filter while the
# main window is active; then the save writes the register and the list
# file in agreement. Then a medium whose folder moved is relocated there
# from the Media window; Play on an entry of a medium whose folder went away
# asks for it and launches nothing; and a library being viewed offers no
# way to manage its media and leaves the register alone.
import json
import os
import shutil
import time

import pyatspi

from desktop import (Failure, cells, Program, children, click, find, has_state, key, message_box, message_texts, named,
                     screenshot, texts, type_text, wait_for)

DIALOG = (pyatspi.ROLE_DIALOG, pyatspi.ROLE_ALERT)
LISTS = (pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE)
STATE_MOVE = 2.0  # a moved folder's new state shows within this many seconds



def _two_media(suite, base, rock, jazz):
    """base made anew with copies of the Rock and Jazz folders, each scanned: (folder, source ID)."""
    shutil.rmtree(base, ignore_errors=True)
    for (folder, source), original in ((rock, "Rock"), (jazz, "Jazz")):
        shutil.copytree(os.path.join(suite.work, "media", original), folder)
        suite.cli("scan", folder, "--source", source)


def _column(table, header):
    for c in range(table.nColumns):
        if header in (table.getColumnDescription(c), getattr(table.getColumnHeader(c), "name", None)):
            return c
    raise Failure(f"no column {header!r}")



def _question(suite, starts, ends):
    """The active message box whose text starts and ends so, and that text."""
    def probe():
        for w in suite.program.windows():
            if w.getRole() in DIALOG and has_state(w, pyatspi.STATE_ACTIVE):
                said = next((t for t in texts(w) if t.startswith(starts) and t.endswith(ends)), None)
                if said:
                    return w, said
        return None
    return wait_for(f"a message box saying {starts!r}...{ends!r}, active", probe,
                    seen=lambda: message_texts(suite.program))


def manage_run(suite):
    base = os.path.join(suite.work, "manage")
    kept, dropped = os.path.join(base, "fd10"), os.path.join(base, "fd11")
    away = kept + "-away"
    registry = os.path.join(os.environ["XDG_DATA_HOME"], "ondro", "media.json")
    files = {}

    def scanned_then_started():
        _two_media(suite, base, (kept, "FD10"), (dropped, "FD11"))
        uuids = {m["source"]: m["uuid"] for m in json.loads(suite.cli("media", "list", "--json"))}
        if uuids.get("FD10") != "":
            raise Failure(f"FD10 is not a folder medium (its volume's UUID: {uuids.get('FD10')!r})")
        files["all"] = len(suite.cli("list").splitlines())
        suite.start_window()
        suite.continue_by_enter()
        suite.main_active(files["all"])

    def media_table():
        window = wait_for("the Media window", lambda: next(
            (w for w in suite.program.windows() if named("Media", DIALOG)(w)), None))
        return wait_for("its list 'Media'", lambda: find(window, "Media", LISTS)).queryTable()

    def select_medium(source):
        table = media_table()
        sources = cells(table, 0)
        if source not in sources:
            raise Failure(f"the Media window lists {sources!r}, no {source}")
        click(table.getAccessibleAt(sources.index(source), 0))
        wait_for(f"{source}'s row selected", lambda: table.getSelectedRows() == [sources.index(source)])

    def main_sources():
        table = suite.catalogue().queryTable()
        return cells(table, _column(table, "Source"))

    def renamed():
        suite.menu("Options", "Media...")
        suite.shows(named("Media", DIALOG), "the Media window", active=True)
        select_medium("FD10")
        key("F2")
        suite.shows(named("Rename Medium", DIALOG), "the question 'Rename Medium'", active=True)
        type_text("FD20")
        key("Return")
        suite.closes(named("Rename Medium", DIALOG), "the question 'Rename Medium' closes")
        wait_for("the Media window listing FD20, not FD10",
                 lambda: "FD20" in cells(media_table(), 0) and "FD10" not in cells(media_table(), 0),
                 seen=lambda: repr(cells(media_table(), 0)))
        wait_for("the main list's two entries of FD20 and none of FD10",
                 lambda: main_sources().count("FD20") == 2 and "FD10" not in main_sources(),
                 seen=lambda: repr(main_sources()))

    def context_menu_seen():
        select_medium("FD11")
        suite.popups.last = None
        key("shift+F10")
        menu = wait_for("the Media window's pop-up menu", lambda: suite.popups.last)
        entries = [c.name for c in children(menu) if c.getRole() == pyatspi.ROLE_MENU_ITEM]
        if entries != ["Rename...", "Relocate...", "Remove..."]:
            raise Failure(f"the pop-up menu's entries are {entries!r}")
        time.sleep(0.3)
        screenshot(os.path.join(suite.args.out, "media-window-menu.png"))
        key("Escape")
        wait_for("the pop-up menu closes on Escape", lambda: not has_state(menu, pyatspi.STATE_SHOWING))

    def removed():
        select_medium("FD11")
        key("Delete")
        suite.answer("Remove FD11 and its 1 entries from the catalogue?", button="Yes")
        suite.main_named(f"Ondro 2000 - {files['all'] - 1} files")
        if "FD11" in main_sources() or "FD11" in cells(media_table(), 0):
            raise Failure("FD11 is still listed after its removal")
        key("Escape")
        suite.closes(named("Media", DIALOG), "the Media window closes on Escape")

    def offline_and_back():
        suite.main(active=True)
        key("ctrl+l")
        type_text("is:offline")
        total = files["all"] - 1
        suite.shown_label(f"0 of {total} shown")
        for moves, shown in (((kept, away), 2), ((away, kept), 0)):
            os.rename(*moves)
            text = f"{shown} of {total} shown"
            wait_for(f"the label {text!r} within {STATE_MOVE} s of the move",
                     lambda text=text: find(suite.main(), text, (pyatspi.ROLE_LABEL,)), timeout=STATE_MOVE)
        key("ctrl+a", "BackSpace")

    def saved_agreeing():
        suite.close_answering("Save")
        with open(registry) as f:
            media = set(json.load(f))
        listed = {line.split("\t")[1] for line in suite.cli("list").splitlines()}
        for source, wanted in (("FD20", True), ("FD10", False), ("FD11", False)):
            if (source in media, source in listed) != (wanted, wanted):
                raise Failure(f"{source}: in media.json {source in media}, in the list file {source in listed}; "
                              f"want {wanted} in both")

    suite.session([
        ("ondro-cli scans two folder media FD10 and FD11, then a start", scanned_then_started, True),
        ("the Media window: F2 renames FD10 to FD20; the main list's Source follows", renamed, False),
        ("Shift+F10 opens the Media window's pop-up menu with Rename, Relocate, Remove", context_menu_seen, False),
        ("Delete and 'Yes' remove FD11 and its entry from the main list", removed, False),
        ("with the main window active, 'is:offline' counts FD20's moved folder and its return, each within 2 s",
         offline_and_back, False),
        ("Files > Close, 'Save': media.json and the list file both name FD20, neither FD10 nor FD11",
         saved_agreeing, False),
    ])

    more = os.path.join(suite.work, "manage2")
    old, new = os.path.join(more, "fd30"), os.path.join(more, "fd30-new")
    usb = os.path.join(more, "usb02")
    library = os.path.join(more, "viewed.odl")
    note = "Box 7, shelf B"

    def two_more_then_started():
        _two_media(suite, more, (old, "FD30"), (usb, "USB02"))
        suite.cli("media", "set", "USB02", "--note", note)
        files["all"] = len(suite.cli("list").splitlines())
        suite.start_window()
        suite.continue_by_enter()
        suite.main_active(files["all"])

    def relocated():
        os.rename(old, new)
        suite.menu("Options", "Media...")
        suite.shows(named("Media", DIALOG), "the Media window", active=True)
        select_medium("FD30")
        suite.popups.last = None
        key("shift+F10")
        menu = wait_for("the Media window's pop-up menu", lambda: suite.popups.last)
        click(wait_for("its entry 'Relocate...'", lambda: find(menu, "Relocate...", showing=True)))
        suite.file_dialog("Choose the new folder of FD30", new)
        box, said = _question(suite, "Rescan FD30: ", " Apply these changes?")
        click(wait_for("its button 'Yes'", lambda: find(box, "Yes", (pyatspi.ROLE_PUSH_BUTTON,))))
        suite.closes(message_box(said), "the rescan's question closes")
        table = media_table()
        row = cells(table, 0).index("FD30")
        wait_for("FD30 Online with its 2 files",
                 lambda: [table.getAccessibleAt(row, c).name for c in (2, 3)] == ["Online", "2"],
                 seen=lambda: repr([table.getAccessibleAt(row, c).name for c in range(table.nColumns)]))
        key("Escape")
        suite.closes(named("Media", DIALOG), "the Media window closes on Escape")
        catalogue = suite.catalogue().queryTable()
        paths = [p for p, s in zip(cells(catalogue, 0), cells(catalogue, _column(catalogue, "Source"))) if s == "FD30"]
        if len(paths) != 2 or not all(p.startswith(new + os.sep) for p in paths):
            raise Failure(f"FD30's entries are at {paths!r}, not in {new}")

    def offline_play():
        label = {m["source"]: m["label"] for m in json.loads(suite.cli("media", "list", "--json"))}["USB02"]
        os.rename(usb, usb + "-away")
        shown = os.path.join(usb, "Blue_Train.mp3")
        opened = os.path.getsize(suite.opened) if os.path.exists(suite.opened) else 0
        suite.find("usb02")
        time.sleep(0.3)
        key("Return")  # the found row has the focus: Enter opens its details
        details = suite.shows(named(shown, DIALOG), f"the details window {shown!r}", active=True)
        click(wait_for("its button 'Play'", lambda: find(details, "Play", (pyatspi.ROLE_PUSH_BUTTON,))))
        known = ([f'label "{label}"'] if label else []) + [f'note "{note}"']
        question = f"USB02 ({', '.join(known)}) is not mounted. Insert it and try again?"
        suite.shows(message_box(question), "the question to insert USB02, active", active=True)
        key("Escape")  # the answer that gives up
        suite.closes(message_box(question), "the question closes on Escape")
        time.sleep(0.5)
        if (os.path.getsize(suite.opened) if os.path.exists(suite.opened) else 0) != opened:
            raise Failure("a player was launched for the file of a medium that is not there")
        key("Return")
        suite.closes(named(shown, DIALOG), "the details window closes on Enter")
        os.rename(usb + "-away", usb)
        suite.close_answering("Save")

    def library_viewed():
        suite.cli("library", "create", library)
        with open(registry, "rb") as f:
            before = f.read()
        suite.runs += 1
        suite.program = Program([suite.args.ondro, library],
                                os.path.join(suite.args.out, f"ondro-{suite.runs}.stderr"),
                                os.path.join(suite.work, "started.pids"))
        suite.continue_by_enter()
        suite.main(active=True)
        suite.menu("Options", "Media...")
        window = suite.shows(named("Media", DIALOG), "the Media window", active=True)
        select_medium("FD30")
        if find(window, "Rescan", (pyatspi.ROLE_PUSH_BUTTON,), showing=True):
            raise Failure("the Media window of a library offers 'Rescan'")
        suite.popups.last = None
        for keys in ("shift+F10", "F2", "Delete"):
            key(keys)
        time.sleep(0.5)
        others = [w.name for w in suite.program.windows() if w.name not in ("Media",) and not w.name.startswith("Ondro 2000")]
        if suite.popups.last is not None or others:
            raise Failure(f"Shift+F10, F2 and Delete opened {'a pop-up menu' if suite.popups.last else others!r}")
        key("Escape")
        suite.closes(named("Media", DIALOG), "the Media window closes on Escape")
        suite.menu("Files", "Close")
        suite.ends()
        with open(registry, "rb") as f:
            if f.read() != before:
                raise Failure(f"{registry} changed while a library was viewed")

    suite.session([
        ("ondro-cli scans FD30 and USB02 (with a note), then a start", two_more_then_started, True),
        ("FD30's folder moved: Relocate... in the Media window, its folder chosen, 'Yes' to the rescan: FD30 Online "
         "with its 2 files at the new place", relocated, False),
        ("USB02's folder gone: 'Play' in an entry's details asks to insert USB02 (its note); Escape launches nothing",
         offline_play, False),
        ("a library being viewed: the Media window offers no Rescan, Rename, Relocate or Remove; media.json unchanged",
         library_viewed, False),
    ])
