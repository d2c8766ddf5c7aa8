# The media register saved with the catalogue: a scan closed with Discard
# leaves no medium behind, and a folder already catalogued under another
# ID (here one differing only in case) asks before it is added again.
import os
import shutil

import pyatspi

from desktop import Failure, click, find, key, message_box, named, type_text, wait_for

DIALOG = (pyatspi.ROLE_DIALOG, pyatspi.ROLE_ALERT, pyatspi.ROLE_FILE_CHOOSER)
BUTTON = (pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON)
LISTS = (pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE)


def register_run(suite):
    copy = os.path.join(suite.work, "media-copy")
    shutil.rmtree(copy, ignore_errors=True)
    shutil.copytree(os.path.join(suite.work, "media"), copy)

    def started():
        suite.start_window()
        suite.continue_by_enter()
        suite.main_active(3)

    def scan_window(source):
        """Opens Scan, chooses the copy, scans it as source up to the Source ID's answer."""
        click(wait_for("the tool button 'Scan'", lambda: find(suite.main(), "Scan", BUTTON)))
        scan = suite.shows(named("Scan Media", DIALOG), "the scan window 'Scan Media'")
        drives = wait_for("the drive list", lambda: find(scan, roles=(pyatspi.ROLE_COMBO_BOX,)))
        click(drives)
        key("End", "Return")
        suite.file_dialog("Choose the folder to scan for MP3s", copy)
        click(wait_for("the button 'Scan'", lambda: find(scan, "Scan", BUTTON)))
        suite.shows(named("Source ID", DIALOG), "the question 'Source ID'", active=True)
        type_text(source)
        key("Return")

    def scanned_then_discarded():
        scan_window("DVD05")
        suite.answer("Scan Complete", timeout=15)
        suite.scan_done()
        suite.main_named("Ondro 2000 - 6 files")
        suite.close_answering("Discard")

    def no_dvd05():
        suite.menu("Options", "Media...")
        window = suite.shows(named("Media", DIALOG), "the Media window", active=True)
        table = wait_for("its list 'Media'", lambda: find(window, "Media", LISTS)).queryTable()
        sources = [table.getAccessibleAt(r, 0).name for r in range(table.nRows)]
        if sources != ["HD01"]:
            raise Failure(f"the Media window lists {sources!r}, not HD01 alone")
        key("Escape")
        suite.closes(named("Media", DIALOG), "the Media window closes on Escape")

    def other_id_asks():
        scan_window("hd01")
        question = "This folder was scanned as HD01. Rescan HD01 instead, or add it as hd01?"
        box = suite.shows(message_box(question), "the question to rescan HD01 or add hd01, active", active=True)
        for caption in ("Rescan HD01", "Add", "Cancel"):
            wait_for(f"its button {caption!r}", lambda caption=caption: find(box, caption, BUTTON))
        key("Escape")  # Cancel
        suite.closes(message_box(question), "the question closes on Escape")
        suite.scan_done()
        suite.main_named("Ondro 2000 - 3 files")

    suite.session([
        ("fourth start: Enter on 'Continue', 'Ondro 2000 - 3 files'", started, True),
        ("a scan of a copy as DVD05, then Files > Close and 'Discard'", scanned_then_discarded, True),
        ("fifth start: 'Ondro 2000 - 3 files'", started, True),
        ("Options > Media... lists no DVD05 after the discarded scan", no_dvd05, False),
        ("scanning the copy as hd01 asks to rescan HD01 or add; 'Cancel' changes nothing", other_id_asks, False),
        ("Files > Close ends the unchanged program at once with status 0", suite.close_unchanged, False),
    ])
