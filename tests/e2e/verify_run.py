# Verifying a medium from the Media window: a folder medium with one file
# removed since its scan; "Verify..." reads it, the results window names
# the missing file first and the Media window shows the verification; the
# save keeps the file's problem mark, which has:problem then finds.
import os
import shutil
import subprocess
import time

import pyatspi

from desktop import Failure, click, find, named, screenshot, key, wait_for

DIALOG = (pyatspi.ROLE_DIALOG, pyatspi.ROLE_ALERT)
LISTS = (pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE)


def _cli(suite, *args, status=0):
    done = subprocess.run([suite.args.cli, *args], capture_output=True, text=True, timeout=20)
    if done.returncode != status:
        raise Failure(f"ondro-cli {' '.join(args)}: exit {done.returncode}: {done.stdout!r} {done.stderr!r}")
    return done.stdout


def _window(suite, title):
    return wait_for(f"the window {title!r}", lambda: next(
        (w for w in suite.program.windows() if named(title, DIALOG)(w)), None))


def _cells(table, column):
    return [table.getAccessibleAt(r, column).name for r in range(table.nRows)]


def verify_run(suite):
    medium = os.path.join(suite.work, "verify", "vd10")
    files = {}

    def scanned_then_started():
        shutil.rmtree(os.path.dirname(medium), ignore_errors=True)
        shutil.copytree(os.path.join(suite.work, "media", "Rock"), medium)
        _cli(suite, "scan", medium, "--source", "VD10")
        names = sorted(n for n in os.listdir(medium) if n.lower().endswith(".mp3"))
        files["gone"] = os.path.join(medium, names[0])
        files["medium"] = len(names)
        os.remove(files["gone"])
        files["all"] = len(_cli(suite, "list").splitlines())
        suite.start_window()
        suite.continue_by_enter()
        suite.main_active(files["all"])

    def verified():
        suite.menu("Options", "Media...")
        suite.shows(named("Media", DIALOG), "the Media window", active=True)
        table = wait_for("its list 'Media'", lambda: find(_window(suite, "Media"), "Media", LISTS)).queryTable()
        sources = _cells(table, 0)
        if "VD10" not in sources:
            raise Failure(f"the Media window lists {sources!r}, no VD10")
        click(table.getAccessibleAt(sources.index("VD10"), 0))
        wait_for("VD10's row selected", lambda: table.getSelectedRows() == [sources.index("VD10")])
        click(wait_for("the button 'Verify...'",
                       lambda: find(_window(suite, "Media"), "Verify...", (pyatspi.ROLE_PUSH_BUTTON,))))
        results = _window(suite, "Verification of VD10")
        n = files["medium"]
        text = f"VD10: {n} files, {n - 1} ok, 0 unreadable, 0 changed, 0 damaged, 1 missing"
        summary = wait_for(f"the summary {text!r}", lambda: find(results, text, (pyatspi.ROLE_LABEL,)))
        rows = wait_for("the list 'Files'", lambda: find(results, "Files", LISTS)).queryTable()
        first = (rows.getAccessibleAt(0, 0).name, rows.getAccessibleAt(0, 1).name)
        if first != ("missing", files["gone"]):
            raise Failure(f"the first row is {first!r}, not the missing {files['gone']!r} ({summary.name})")
        time.sleep(0.3)
        screenshot(os.path.join(suite.args.out, "verify-results.png"))
        key("Escape")
        suite.closes(named("Verification of VD10", DIALOG), "the results window closes on Escape")
        shown = _cells(table, 7)  # Last verified
        if not shown[sources.index("VD10")].endswith("1 problem"):
            raise Failure(f"the Media window's 'Last verified' reads {shown!r}")
        key("Escape")
        suite.closes(named("Media", DIALOG), "the Media window closes on Escape")

    def saved_marked():
        suite.menu("Files", "Close")
        suite.answer("The catalogue has changed since it was last saved. Save the changes before closing?",
                     button="Save")
        suite.ends()
        found = _cli(suite, "query", "has:problem source:VD10").splitlines()
        if len(found) != 1 or files["gone"] not in found[0]:
            raise Failure(f"has:problem finds {found!r}, not the missing file alone")

    suite.session([
        ("ondro-cli scans the folder medium VD10, one of its files is removed, then a start", scanned_then_started,
         True),
        ("Media window, 'Verify...': the results list the missing file first, 'Last verified' reads 1 problem",
         verified, False),
        ("Files > Close, 'Save': has:problem finds the missing file", saved_marked, False),
    ])
