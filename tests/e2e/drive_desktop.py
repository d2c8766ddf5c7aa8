#!/usr/bin/python3
# Uses the desktop program as a user does, on the display, session bus and
# fresh home that run_desktop.sh set up: the start window and "Continue"
# (a mouse click in the first run, Enter in the second), then every window
# of the program opened and closed through its menus and buttons, a scan of
# the small tree, the exports and libraries, and "&Close" with the save
# question; then two starts at scale 1.25, where the whole window must stay
# on the screen. One line per step; a failed step leaves a screenshot of the
# screen and the program's error output. Ends with "N passed, N failed".
# A failed start ends its run; E2E_KEEP_GOING=1 goes on regardless, to look
# into the later steps.
import argparse
import os
import re
import signal
import subprocess
import sys
import time

import pyatspi
from search_run import search_run

from duplicates_run import duplicates_run
from collector_run import collector_run
from covers_run import covers_run
from desktop import (Failure, object_named, PopupMenus, Program, WAIT, active_window_title, children, click, cut_texts, extents,
                     find, focused, frame_placement, has_state, is_file_dialog, key, message_box, message_texts,
                     named, screenshot, texts, type_text, wait_file, wait_for, x_output)
from manage_run import manage_run
from register_run import register_run
from verify_run import verify_run

FRAME = (pyatspi.ROLE_FRAME,)
DIALOG = (pyatspi.ROLE_DIALOG, pyatspi.ROLE_ALERT, pyatspi.ROLE_FILE_CHOOSER)
BUTTON = (pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON)
LISTS = (pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE)


class Abort(Exception):
    """A failure that leaves nothing further to try in this run."""


def is_start_window(w):
    return w.name == "Ondro" and w.getRole() == pyatspi.ROLE_DIALOG and "LOADING ..." in texts(w)


def is_main_window(w):
    return w.getRole() in FRAME and w.name.startswith("Ondro 2000")


class Suite:
    def __init__(self, args):
        self.args = args
        self.work = args.work
        self.home = os.environ["HOME"]
        self.exports = os.path.join(self.home, "Documents", "Ondro")
        self.opened = os.path.join(self.work, "opened.txt")
        self.library = os.path.join(self.work, "mine.odl")
        self.passed = 0
        self.failed = 0
        self.not_run = 0
        self.program = None
        self.runs = 0
        self.cut = []  # message boxes seen with text running past their edges
        self.popups = PopupMenus()

    # -- the program ---------------------------------------------------

    def start(self, env=None):
        self.runs += 1
        self.program = Program([self.args.ondro], os.path.join(self.args.out, f"ondro-{self.runs}.stderr"),
                               os.path.join(self.work, "started.pids"), env)

    def main(self, active=False):
        return self.program.window(is_main_window, "the main window" + (", active" if active else ""),
                                   active=active)

    def shows(self, match, what, timeout=WAIT, active=False):
        window = self.program.window(match, what, timeout, active)
        self.names_read(window, what)
        return window

    def names_read(self, window, what):
        """Every window the run opens: no control is announced by its object name."""
        if bad := object_named(window):
            raise Failure(f"{what}: controls named by their object names: {', '.join(bad)}")

    def closes(self, match, what, timeout=WAIT):
        self.program.gone(match, what, timeout)

    def answer(self, text, button=None, timeout=WAIT):
        """Waits for the message box saying text and answers it (Enter, or a click on button)."""
        box = wait_for(f"a message box saying {text!r}, active",
                       lambda: next((w for w in self.program.windows()
                                     if message_box(text)(w) and has_state(w, pyatspi.STATE_ACTIVE)), None),
                       timeout, lambda: message_texts(self.program))
        time.sleep(0.3)  # laid out and placed by the window manager
        if cut_texts(box):
            shot = screenshot(os.path.join(self.args.out, f"cut-text-{len(self.cut) + 1}.png"))
            self.cut.append("; ".join(cut_texts(box)) + f" (screenshot: {shot})")
        if button:
            click(wait_for(f"its button {button!r}", lambda: find(box, button, BUTTON)))
        else:
            key("Return")
        self.closes(message_box(text), f"the message box {text!r} closes")

    def main_named(self, title):
        def probe():
            w = self.main()
            return w if w.name == title else None
        try:
            return wait_for(f"the main window named {title!r}", probe)
        except Failure as failure:
            raise Failure(f"{failure} (window title on the screen: {active_window_title()!r})")

    def menu(self, *path):
        """Clicks the menu bar entry path[0], then each entry of path[1:] in the menus that open."""
        bar = wait_for("the menu bar", lambda: find(self.main(), roles=(pyatspi.ROLE_MENU_BAR,)))
        item = wait_for(f"menu {path[0]!r}", lambda: find(bar, path[0]))
        click(item)
        for name in path[1:]:
            parent = item

            def probe(parent=parent, name=name):
                found = find(parent, name, showing=True)
                return found if found is not None and extents(found)[2] > 0 else None
            item = wait_for(f"menu entry {name!r}", probe)
            time.sleep(0.15)  # a menu takes clicks once it has opened
            click(item)

    def file_dialog(self, title, path):
        """Types path into the file dialog titled title and presses Enter."""
        self.shows(is_file_dialog(title), f"the file dialog {title!r}", active=True)
        key("ctrl+a")
        type_text(path)
        time.sleep(0.3)  # the completer's list opens on the typed text
        key("Return")
        try:
            self.closes(is_file_dialog(title), f"the file dialog {title!r} closes", timeout=2)
        except Failure:
            key("Return")  # the first Enter took the completer's entry
            self.closes(is_file_dialog(title), f"the file dialog {title!r} closes")

    def catalogue(self):
        return wait_for("the catalogue list", lambda: find(self.main(), "Catalogue", LISTS))

    def rows(self, name):
        return wait_for(f"the list {name!r}", lambda: find(self.main(), name, LISTS)).queryTable().nRows

    # -- steps -----------------------------------------------------------

    def run(self, title, action, critical=False):
        began = time.monotonic()
        try:
            action()
        except Exception as error:  # noqa: BLE001 - every error is a failed step
            self.failed += 1
            message = str(error) if isinstance(error, Failure) else f"{type(error).__name__}: {error}"
            shot = os.path.join(self.args.out, f"fail-{self.passed + self.failed:02d}-"
                                f"{re.sub(r'[^a-z0-9]+', '-', title.lower()).strip('-')[:40]}.png")
            screenshot(shot)
            print(f"FAIL {title} ({time.monotonic() - began:.1f} s): {message}")
            print(f"     screenshot: {shot}")
            if self.program is not None:
                print(f"     windows: {self.program.describe()}")
                err = self.program.stderr_text().strip()
                print("     program's stderr:" + ("\n       " + err.replace("\n", "\n       ") if err else " (empty)"))
            sys.stdout.flush()
            if critical and not os.environ.get("E2E_KEEP_GOING"):
                raise Abort() from error
            self.recover()
            return
        self.passed += 1
        print(f"PASS {title} ({time.monotonic() - began:.1f} s)", flush=True)

    def recover(self):
        """Back to the main window alone, as a user would: Escape on what is open."""
        if self.program is None or self.program.process.poll() is not None:
            return
        for _ in range(5):
            try:
                others = [w for w in self.program.windows() if not is_main_window(w)]
            except Exception:
                others = []
            if not others:
                return
            key("Escape")
            time.sleep(0.4)

    def session(self, steps):
        for i, (title, action, critical) in enumerate(steps):
            try:
                self.run(title, action, critical)
            except Abort:
                for later, _, _ in steps[i + 1:]:
                    print(f"NOT RUN {later}")
                    self.not_run += 1
                break
        if self.program is not None:
            self.program.stop()

    # First run: a fresh user, Continue by mouse.

    def start_window(self, env=None):
        self.start(env)
        w = self.shows(is_start_window, "the start window 'Ondro' with \"LOADING ...\"", timeout=15)
        wait_for("its button 'Continue'", lambda: find(w, "Continue", BUTTON))
        screenshot(os.path.join(self.args.out, f"start-window-{self.runs}.png"))

    def continue_by_click(self):
        button = wait_for("the button 'Continue'",
                          lambda: find(self.shows(is_start_window, "the start window"), "Continue", BUTTON))
        click(button)
        self.after_continue()

    def continue_by_enter(self):
        self.shows(is_start_window, "the start window, active", active=True)
        key("Return")
        self.after_continue()

    def after_continue(self):
        self.closes(is_start_window, "the start window closes after 'Continue'")
        screenshot(os.path.join(self.args.out, f"after-continue-{self.runs}.png"))

    def first_start_question(self):
        self.answer("No default ODL reader detected.  Ondro will be your ODL reader.")

    def main_active(self, files):
        def probe():
            w = self.main()
            others = [o for o in self.program.windows() if not is_main_window(o)]
            return w if has_state(w, pyatspi.STATE_ACTIVE) and not others else None
        wait_for("the main window, active and alone", probe, seen=self.program.describe)
        screenshot(os.path.join(self.args.out, f"main-window-{self.runs}.png"))
        self.main_named(f"Ondro 2000 - {files} files")
        self.names_read(self.main(), "the main window")

    def key_reaches_main(self):
        self.main(active=True)
        key("ctrl+f")
        self.shows(named("Find", DIALOG), "Find's question after Ctrl+F", active=True)
        key("Escape")
        self.closes(named("Find", DIALOG), "Find's question closes on Escape")

    def click_opens_scan(self):
        click(wait_for("the tool button 'Scan'", lambda: find(self.main(), "Scan", BUTTON)))
        self.shows(named("Scan Media", DIALOG), "the scan window 'Scan Media'")

    def scan_tree(self):
        scan = self.shows(named("Scan Media", DIALOG), "the scan window")
        drives = wait_for("the drive list", lambda: find(scan, roles=(pyatspi.ROLE_COMBO_BOX,)))
        click(drives)  # its list opens; the last entry chooses a folder
        time.sleep(0.4)
        key("End", "Return")
        self.file_dialog("Choose the folder to scan for MP3s", os.path.join(self.work, "media"))
        click(wait_for("the button 'Scan'", lambda: find(scan, "Scan", BUTTON)))
        self.shows(named("Source ID", DIALOG), "the question 'Source ID'", active=True)
        type_text("HD01")
        key("Return")
        self.answer("Scan Complete", timeout=15)
        self.main_named("Ondro 2000 - 3 files")

    def scan_again_asks(self):
        scan = self.shows(named("Scan Media", DIALOG), "the scan window")
        click(wait_for("the button 'Scan'", lambda: find(scan, "Scan", BUTTON)))
        self.shows(named("Source ID", DIALOG), "the question 'Source ID'", active=True)
        type_text("HD01")
        key("Return")
        question = "HD01 already has 3 entries. Rescan it instead (update its entries) or add the files again?"
        self.shows(message_box(question), "the question to rescan or add, active", active=True)
        key("Escape")  # Cancel
        self.closes(message_box(question), "the question closes on Escape")
        self.main_named("Ondro 2000 - 3 files")

    def scan_done(self):
        scan = self.shows(named("Scan Media", DIALOG), "the scan window")
        click(wait_for("the button 'Done'", lambda: find(scan, "Done", BUTTON)))
        self.closes(named("Scan Media", DIALOG), "the scan window closes")

    def details_by_double_click(self):
        table = self.catalogue().queryTable()
        cell = table.getAccessibleAt(0, 0)
        path = cell.name
        if not path.endswith("Blue_Train.mp3"):
            raise Failure(f"first row is {path!r}, not the Jazz folder's file")
        click(cell, double=True)
        details = self.shows(named(path, DIALOG), f"the details window {path!r}")
        click(wait_for("its button 'Ok'", lambda: find(details, "Ok", BUTTON)))
        self.closes(named(path, DIALOG), "the details window closes")

    def find(self, text):
        """Ctrl+F in the main window, text, Enter: the found row is selected."""
        self.main(active=True)
        key("ctrl+f")
        self.shows(named("Find", DIALOG), "Find's question", active=True)
        type_text(text)
        key("Return")
        self.closes(named("Find", DIALOG), "Find's question closes")

    def find_then_enter(self):
        self.find("Song Two")
        path = os.path.join(self.work, "media", "Rock", "Song_Two.mp3")
        time.sleep(0.3)
        key("Return")  # the found row has the focus: Enter opens it
        self.shows(named(path, DIALOG), f"the details window {path!r}", active=True)
        key("Return")  # "&Ok" is the default button
        self.closes(named(path, DIALOG), "the details window closes on Enter")

    def query(self):
        self.main(active=True)  # as a user, after the details window is gone
        click(wait_for("the tool button 'Query'", lambda: find(self.main(), "Query", BUTTON)))
        self.shows(named("Search", DIALOG), "the question 'Search'", active=True)
        type_text("Song")
        key("Return")
        self.shows(named("Ondro Query - 2 Matches", DIALOG), "the query window 'Ondro Query - 2 Matches'")
        key("Escape")
        self.closes(lambda w: w.name.startswith("Ondro Query") or w.name == "Query", "the query window closes")

    def whole_texts(self):
        if self.cut:
            raise Failure(f"{len(self.cut)} message boxes could not show their whole text: " + " | ".join(self.cut))

    def mark_by_menu_key(self):
        before = self.rows("Marked Bin")
        click(self.catalogue().queryTable().getAccessibleAt(2, 0))  # Song_Two
        self.main(active=True)
        key("Menu")
        time.sleep(0.4)
        key("a")  # "&Add to Mark Bin"
        wait_for("a row added to the mark bin", lambda: self.rows("Marked Bin") == before + 1)

    def playlist(self):
        self.menu("Marked", "Launch as Playlist")
        playlist = os.path.join(self.exports, "ondrotemp.m3u")
        wait_file(self.opened, "the playlist handed to the default application", contains=playlist)
        with open(playlist, errors="replace") as f:
            if "Song_Two.mp3" not in f.read():
                raise Failure(f"{playlist} does not list the marked file")

    def burn(self):
        click(wait_for("the tool button 'Prepare'", lambda: find(self.main(), "Prepare", BUTTON)))
        target = os.path.join(self.work, "burn")
        self.file_dialog("Destination", target)
        self.answer("Please insert HD01 and press ok.")
        self.answer(f"All 1 files were copied to {target}/", timeout=10)
        wait_file(os.path.join(target, "Song_Two.mp3"), "the copied file")

    def cover_dialog(self):
        click(self.catalogue().queryTable().getAccessibleAt(0, 0))
        self.main(active=True)
        key("Menu")
        time.sleep(0.4)
        key("i")  # "&Image Cover"
        title = "Attach Image Cover to MP3 Track(s)"
        cover = self.shows(named(title, DIALOG), f"the cover dialog {title!r}")
        click(wait_for("its button 'Cancel'", lambda: find(cover, "Cancel", BUTTON)))
        self.closes(named(title, DIALOG), "the cover dialog closes")

    def cover_by_keys(self):
        click(self.catalogue().queryTable().getAccessibleAt(0, 0))
        self.main(active=True)
        key("Menu")
        time.sleep(0.4)
        key("i")
        title = "Attach Image Cover to MP3 Track(s)"
        cover = self.shows(named(title, DIALOG), f"the cover dialog {title!r}", active=True)
        folders = wait_for("its folder list", lambda: find(cover, "Folder", (pyatspi.ROLE_LIST,)))
        for name in (os.path.basename(self.work), "media"):  # from home up to the work folder, into media
            click(wait_for(f"the folder {name!r}",
                           lambda name=name: next((f for f in children(folders) if f.name.strip() == name), None)))
        media = os.path.join(self.work, "media")
        files = wait_for("its file list", lambda: find(cover, "Image file", (pyatspi.ROLE_LIST,)))
        click(wait_for("the file 'Booklet.txt'", lambda: find(files, "Booklet.txt")))  # no picture
        key("Down")
        wait_for("the preview of 'Front.png'", lambda: find(cover, "Preview Image", showing=True))
        key("Return")  # "&Ok" is the default button
        self.closes(named(title, DIALOG), "the cover dialog closes on Enter")
        table = self.catalogue().queryTable()
        column = next(i for i in range(table.nColumns) if table.getColumnDescription(i) == "coverimage")
        picture = os.path.join(media, "Front.png")
        wait_for(f"the row's coverimage {picture!r}", lambda: table.getAccessibleAt(0, column).name == picture,
                 seen=lambda: repr(table.getAccessibleAt(0, column).name))

    def export_database(self):
        self.menu("Files", "Export", "Access Database")
        path = os.path.join(self.exports, "ondro2000.mdb")
        self.answer(f"{path} was exported.", timeout=10)
        wait_file(path, "the database file")

    def export_covers(self):
        self.menu("Files", "Export", "CD Covers (HTML)")
        wait_file(self.opened, "the cover page handed to the default application",
                  contains=os.path.join(self.exports, "zembra.html"))

    def export_text(self):
        self.menu("Files", "Export", "Text")
        wait_file(self.opened, "the text index handed to the default application",
                  contains=os.path.join(self.exports, "ondrolist.txt"))

    def export_tunepost(self):
        self.menu("Files", "Export", "m3u (tunepost Compatible)")
        title = "tunepost Compatible m3u Export"
        window = self.shows(named(title, DIALOG), f"the window {title!r}")
        click(wait_for("its button 'Export'", lambda: find(window, "Export", BUTTON)))
        self.answer("Export complete.")
        wait_file(os.path.join(self.home, "Desktop", "tunepost-1.m3u"), "the upload list on the desktop")
        click(wait_for("its button 'Done'", lambda: find(window, "Done", BUTTON)))
        self.closes(named(title, DIALOG), f"the window {title!r} closes")

    def create_library(self):
        self.menu("Files", "Export", "Library (ODL)")
        window = self.shows(named("Create Ondrolib", (pyatspi.ROLE_DIALOG,)), "the window 'Create Ondrolib'")
        click(wait_for("its button 'Create'", lambda: find(window, "Create", BUTTON)))
        self.file_dialog("Create Ondrolib", self.library)
        self.answer(f"{self.library} was created.", timeout=10)
        click(wait_for("its button 'Cancel'", lambda: find(window, "Cancel", BUTTON)))
        self.closes(named("Create Ondrolib", DIALOG), "the window 'Create Ondrolib' closes")
        wait_file(self.library, "the library file")

    def load_library(self):
        self.menu("Files", "Load ODL File")
        self.file_dialog("Load ODL File", self.library)
        self.answer("Library loaded", timeout=10)
        self.main_named("Ondro 2000 - 6 files")

    def about(self):
        self.menu("About", "About Ondro")
        about = self.shows(named("About Ondro", DIALOG), "the window 'About Ondro'")
        click(wait_for("its button 'Ok'", lambda: find(about, "Ok", BUTTON)))
        self.closes(named("About Ondro", DIALOG), "the window 'About Ondro' closes")

    def list_focused(self):
        main = self.main(active=True)
        wait_for("the catalogue list with the focus", lambda: has_state(self.catalogue(), pyatspi.STATE_FOCUSED),
                 seen=lambda: "the focus on " + focused(main))

    def popup_by_shift_f10(self):
        self.main(active=True)
        self.popups.last = None
        key("shift+F10")
        menu = wait_for("a pop-up menu", lambda: self.popups.last)
        entries = [(c.name, has_state(c, pyatspi.STATE_ENABLED)) for c in children(menu)
                   if c.getRole() == pyatspi.ROLE_MENU_ITEM]
        # The original's entries first and as they were; then the medium's own.
        wanted = [("Email", False), ("Remove", True), ("Image Cover", True), ("Add to Mark Bin", True),
                  ("Medium", True)]
        if entries != wanted:
            raise Failure(f"the pop-up menu's entries (name, enabled) are {entries}, not {wanted}")
        key("Escape")
        wait_for("the pop-up menu closes on Escape", lambda: not has_state(menu, pyatspi.STATE_SHOWING))

    def scaled_start(self, remembered):
        state = os.path.join(os.environ["XDG_STATE_HOME"], "ondro", "state.ini")
        if not remembered and os.path.exists(state):
            os.remove(state)
        if remembered:
            wait_file(state, "the remembered place", contains="mainWindow", timeout=0.1)
        self.start_window({"QT_SCALE_FACTOR": "1.25"})
        self.continue_by_enter()
        self.main_active(3)

    def on_screen(self):
        self.main(active=True)
        time.sleep(0.3)  # placed by the window manager
        window = x_output("xdotool", "getactivewindow").strip()
        if not x_output("xdotool", "getwindowname", window).startswith("Ondro 2000"):
            raise Failure(f"the active X window is not the main window: {active_window_title()!r}")
        wait_for("the whole main window, frame and title bar, inside the screen",
                 lambda: frame_placement(window)[0], seen=lambda: frame_placement(window)[1])

    def close_by_keys(self):
        # At a scale the bus gives places unscaled (Qt 6.4): no clicks.
        self.main(active=True)
        self.popups.last = None
        key("alt+f")
        wait_for("the menu 'Files'", lambda: self.popups.last)
        key("c")  # "&Close"
        self.ends()

    def media_window(self):
        self.menu("Options", "Media...")
        window = self.shows(named("Media", DIALOG), "the Media window", active=True)
        table = wait_for("its list 'Media'", lambda: find(window, "Media", LISTS)).queryTable()
        cells = [table.getAccessibleAt(0, c).name for c in range(table.nColumns)]
        if cells[0] != "HD01" or cells[2] != "Online" or cells[3] != "3":
            raise Failure(f"the medium's row reads {cells!r}, not HD01, Online, 3 files")
        screenshot(os.path.join(self.args.out, "media-window.png"))

    def rescan(self):
        song = os.path.join(self.work, "media", "Rock", "Song_Two.mp3")
        with open(song, "r+b") as tagged:  # the title of its ID3v1 tag
            tagged.seek(-125, os.SEEK_END)
            tagged.write(b"Retagged".ljust(30, b" "))
        window = self.shows(named("Media", DIALOG), "the Media window")
        click(wait_for("its button 'Rescan'", lambda: find(window, "Rescan", BUTTON)))
        self.answer("Rescan HD01: 0 added, 0 removed, 1 changed, 0 moved, 2 unchanged. Apply these changes?",
                    button="Yes")
        click(wait_for("its button 'Close'", lambda: find(window, "Close", BUTTON)))
        self.closes(named("Media", DIALOG), "the Media window closes")
        table = self.catalogue().queryTable()
        tracks = [table.getAccessibleAt(r, 3).name for r in range(table.nRows)]
        if "Retagged" not in tracks:
            raise Failure(f"the tracks after the rescan are {tracks!r}, none 'Retagged'")

    def duplicates(self):
        self.menu("Options", "Duplicates...")
        window = self.shows(named("Duplicates", DIALOG), "the Duplicates window", active=True)
        table = wait_for("its list 'Duplicates'", lambda: find(window, "Duplicates", LISTS)).queryTable()
        # The three files share their audio: one group, its three copies below it.
        cells = [table.getAccessibleAt(r, 0).name for r in range(table.nRows)]
        if cells != ["3 copies", "HD01", "HD01", "HD01"]:
            raise Failure(f"the first column reads {cells!r}, not one group of 3 copies of HD01")
        screenshot(os.path.join(self.args.out, "duplicates-window.png"))
        key("Escape")
        self.closes(named("Duplicates", DIALOG), "the Duplicates window closes on Escape")

    def shown_label(self, text):
        return wait_for(f"the label {text!r} beside the filter",
                        lambda: find(self.main(), text, (pyatspi.ROLE_LABEL,)))

    def filter_box(self):
        key("ctrl+l")
        type_text("song")  # the paths of Song_One and Song_Two
        self.shown_label("2 of 3 shown")
        wait_for("the list to show 2 rows", lambda: self.rows("Catalogue") == 2)
        screenshot(os.path.join(self.args.out, "filter-box.png"))
        type_text(")")  # "song)" does not parse: the message points at it
        self.shown_label('Unexpected ")" at 5 \u2014 showing the last good filter\'s 2 rows')
        if self.rows("Catalogue") != 2:
            raise Failure("a query that does not parse changed the rows shown")
        key("ctrl+a", "BackSpace")
        self.shown_label("3 of 3 shown")
        wait_for("the list to show 3 rows", lambda: self.rows("Catalogue") == 3)

    def statistics(self):
        self.menu("Options", "Statistics...")
        window = self.shows(named("Statistics", DIALOG), "the Statistics window", active=True)
        wait_for("its subtitle 'All 3 entries'", lambda: find(window, "All 3 entries", (pyatspi.ROLE_LABEL,)))
        screenshot(os.path.join(self.args.out, "statistics-window.png"))
        key("Escape")
        self.closes(named("Statistics", DIALOG), "the Statistics window closes on Escape")

    def close_saving(self):
        self.close_answering("Save")
        listed = subprocess.run([self.args.cli, "list"], capture_output=True, text=True, timeout=20)
        lines = listed.stdout.splitlines()
        if listed.returncode != 0 or len(lines) != 3:
            raise Failure(f"ondro-cli list after the save: exit {listed.returncode}, {len(lines)} lines "
                          f"(want 3, the own files): {listed.stdout!r} {listed.stderr!r}")

    def odd_names_scanned(self):
        scanned = subprocess.run([self.args.cli, "scan", os.path.join(self.work, "odd"), "--source", "CD02"],
                                 capture_output=True, text=True, timeout=20)
        if scanned.returncode != 0 or "3 files imported" not in scanned.stdout:
            raise Failure(f"ondro-cli scan of the odd names: exit {scanned.returncode}: {scanned.stdout!r} "
                          f"{scanned.stderr!r}")
        self.start_window()
        self.continue_by_enter()
        self.main_active(6)

    def odd_name_played(self):
        self.find("Noir")
        shown = os.path.join(self.work, "odd", "Caf\u00e9 Noir - Cr\u00e8me.mp3")  # decoded as Windows-1252
        time.sleep(0.3)
        key("Return")
        details = self.shows(named(shown, DIALOG), f"the details window {shown!r}", active=True)
        click(wait_for("its button 'Play'", lambda: find(details, "Play", BUTTON)))
        exact = os.path.join(self.work.encode(), b"odd", b"Caf\xe9 Noir - Cr\xe8me.mp3") + b"\n"

        def handed():
            with open(self.opened, "rb") as f:
                return exact in f.read()
        wait_for(f"the player handed the exact bytes {exact!r}", handed)
        key("Return")
        self.closes(named(shown, DIALOG), "the details window closes on Enter")

    def close_unchanged(self):
        self.menu("Files", "Close")
        self.ends()

    def close_answering(self, button):
        """Files > Close with unsaved changes, the question answered 'Save' or 'Discard'."""
        self.menu("Files", "Close")
        self.answer("The catalogue has changed since it was last saved. Save the changes before closing?",
                    button=button)
        self.ends()

    def cli(self, *args, status=0):
        """Runs ondro-cli; its output, when it exits with status."""
        done = subprocess.run([self.args.cli, *args], capture_output=True, text=True, timeout=20)
        if done.returncode != status:
            raise Failure(f"ondro-cli {' '.join(args)}: exit {done.returncode}: {done.stdout!r} {done.stderr!r}")
        return done.stdout

    def ends(self):
        try:
            code = self.program.process.wait(timeout=5)
        except subprocess.TimeoutExpired:
            raise Failure(f"the program still runs 5 s after Close; windows: {self.program.describe()}")
        if code != 0:
            raise Failure(f"the program ended with exit status {code}")

    def first_run(self):
        self.session([
            ("start window 'Ondro' with its button 'Continue'", self.start_window, True),
            ("a mouse click on 'Continue' closes the start window", self.continue_by_click, True),
            ("a fresh user is told Ondro reads ODL files", self.first_start_question, False),
            ("the main window is active, named 'Ondro 2000 - 0 files'", lambda: self.main_active(0), True),
            ("a key reaches the main window: Ctrl+F asks Find's question", self.key_reaches_main, True),
            ("a click reaches the main window: 'Scan' opens the scan window", self.click_opens_scan, True),
            ("scanning a chosen folder names the main window 'Ondro 2000 - 3 files'", self.scan_tree, False),
            ("scanning HD01 again asks to rescan or add; 'Cancel' changes nothing", self.scan_again_asks, False),
            ("'Done' closes the scan window", self.scan_done, False),
            ("a double click on a row opens its details, 'Ok' closes them", self.details_by_double_click, False),
            ("Find selects a row, Enter opens its details, Enter closes them", self.find_then_enter, False),
            ("'Query' asks, shows 'Ondro Query - 2 Matches', Escape closes it", self.query, False),
            ("the Menu key's pop-up menu adds a row to the mark bin", self.mark_by_menu_key, False),
            ("Marked > Launch as Playlist hands the playlist to the default application", self.playlist, False),
            ("'Prepare' copies the marked file into the chosen folder", self.burn, False),
            ("the pop-up menu's 'Image Cover' opens the cover dialog, 'Cancel' closes it", self.cover_dialog, False),
            ("in the cover dialog Down chooses a picture and Enter attaches it to the row", self.cover_by_keys, False),
            ("Files > Export > Access Database writes ondro2000.mdb", self.export_database, False),
            ("Files > Export > CD Covers (HTML) hands the page to the default application", self.export_covers,
             False),
            ("Files > Export > Text hands the index to the default application", self.export_text, False),
            ("Files > Export > m3u writes the upload list, 'Done' closes the window", self.export_tunepost, False),
            ("Files > Export > Library (ODL) creates the library", self.create_library, False),
            ("Files > Load ODL File loads it: 'Ondro 2000 - 6 files'", self.load_library, False),
            ("About > About Ondro opens the About window, 'Ok' closes it", self.about, False),
            ("Files > Close asks to save, saves the own files and ends with status 0", self.close_saving, False),
            ("every message box showed its whole text", self.whole_texts, False),
        ])

    def second_run(self):
        self.session([
            ("second start: the start window 'Ondro'", self.start_window, True),
            ("Enter on 'Continue' closes the start window", self.continue_by_enter, True),
            ("the main window is active with the saved catalogue: 'Ondro 2000 - 3 files'",
             lambda: self.main_active(3), True),
            ("keys go to the list at start: the catalogue list has the focus", self.list_focused, False),
            ("Shift+F10 opens the list's pop-up menu, Escape closes it", self.popup_by_shift_f10, False),
            ("Files > Close ends the unchanged program at once with status 0", self.close_unchanged, False),
        ])

    def media_run(self):
        self.session([
            ("third start: Enter on 'Continue', 'Ondro 2000 - 3 files'",
             lambda: (self.start_window(), self.continue_by_enter(), self.main_active(3)), True),
            ("Options > Media... lists HD01 online with its 3 files", self.media_window, False),
            ("'Rescan' after a retag asks, 'Yes' changes that entry, 'Close' closes the window", self.rescan, False),
            ("Options > Duplicates... shows the three copies of the same audio, Escape closes it", self.duplicates,
             False),
            ("Ctrl+L and typing 'song' shows 2 of 3 rows; a stray ')' is pointed at; emptied, all 3 again",
             self.filter_box, False),
            ("Options > Statistics... counts all 3 entries, Escape closes it", self.statistics, False),
            ("Files > Close asks to save the rescanned catalogue and ends with status 0", self.close_saving, False),
        ])

    def odd_names_run(self):
        self.session([
            ("ondro-cli scan of names that are not UTF-8, then a start: 'Ondro 2000 - 6 files'",
             self.odd_names_scanned, True),
            ("Find, Enter, 'Play' in the details of 'Caf\u00e9 Noir' hands the player the name's exact bytes",
             self.odd_name_played, False),
            ("Files > Close ends the unchanged program at once with status 0", self.close_unchanged, False),
        ])

    # At scale 1.25 on a screen of 1024x768 a window sized to the screen
    # leaves no room for its title bar.

    def scaled_run(self, remembered):
        self.session([
            ("at scale 1.25 " + ("with the remembered place" if remembered else "with no remembered place")
             + ": start, Enter on 'Continue', 'Ondro 2000 - 3 files'", lambda: self.scaled_start(remembered), True),
            ("the whole main window, frame and title bar, is on the screen", self.on_screen, False),
            ("Alt+F, C (Files > Close) ends it with status 0", self.close_by_keys, True),
        ])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--ondro", required=True)
    parser.add_argument("--cli", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--work", required=True)
    args = parser.parse_args()
    # Stopped from outside: end the program too, and still report.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))

    suite = Suite(args)
    began = time.monotonic()
    try:
        suite.first_run()
        suite.second_run()
        suite.media_run()
        duplicates_run(suite)
        register_run(suite)
        suite.scaled_run(remembered=False)
        suite.scaled_run(remembered=True)
        suite.odd_names_run()
        search_run(suite)
        collector_run(suite)
        manage_run(suite)
        covers_run(suite)
        verify_run(suite)
    finally:
        if suite.program is not None:
            suite.program.stop()
    print(f"({time.monotonic() - began:.0f} s; output in {args.out})")
    if suite.not_run:
        print(f"{suite.not_run} not run")
    print(f"{suite.passed} passed, {suite.failed} failed")
    return 1 if suite.failed or suite.not_run else 0


if __name__ == "__main__":
    sys.exit(main())
