# Verifying a medium from the Media window: a folder medium of five files
# where, since its scan, one had bytes changed in the middle of its audio,
# one was cut short, one fails to read at a byte (through the library
# preloaded into the program, as a scratched disc would) and one was
# removed. "Verify..." names exactly those four, the Media window shows the
# verification and the save keeps the marks, which has:problem finds. The
# files put back, a second start verifies all ok and the marks are gone.
import os
import random
import shutil
import time

import pyatspi

from desktop import Failure, cells, click, find, named, screenshot, key, wait_for

DIALOG = (pyatspi.ROLE_DIALOG, pyatspi.ROLE_ALERT)
LISTS = (pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE)

FRAME = 417  # MPEG-1 Layer III, 128 kbps, 44.1 kHz
FRAMES = 200
READ_ERROR_AT = 5 * 4096 + 100
CATALOGUED = 1_600_000_000  # the files' time, kept when they are spoilt
# What the verification finds in each spoilt file: its status and the
# start of what it says.
EXPECTED = {
    "gone.mp3": ("missing", "not found"),
    "middle.mp3": ("damaged", "frame sync lost at byte"),
    "short.mp3": ("changed", "size 60000 bytes"),
    "unread.mp3": ("unreadable", "Input/output error at byte 20480"),
}



def _window(suite, title):
    return wait_for(f"the window {title!r}", lambda: next(
        (w for w in suite.program.windows() if named(title, DIALOG)(w)), None))



def _track(seed):
    """Real frames with random audio bytes, then an ID3v1 tag."""
    rng = random.Random(seed)
    frames = b"".join(b"\xff\xfb\x90\x64" + rng.randbytes(FRAME - 4) for _ in range(FRAMES))
    return frames + b"TAG" + f"Track {seed}".encode().ljust(30, b"\0") + b"Band".ljust(30, b"\0") + bytes(64) + b"\x0c"


def _put(path, data):
    """Writes path anew (a new file, never the old one rewritten) with the catalogued time."""
    with open(path + ".new", "wb") as f:
        f.write(data)
    os.utime(path + ".new", (CATALOGUED, CATALOGUED))
    os.replace(path + ".new", path)


def verify_run(suite):
    medium = os.path.join(suite.work, "verify", "vd10")
    names = ["whole.mp3", *EXPECTED]
    tracks = {name: _track(seed) for seed, name in enumerate(names)}
    path = lambda name: os.path.join(medium, name)

    def scanned_spoilt_started():
        shutil.rmtree(os.path.dirname(medium), ignore_errors=True)
        os.makedirs(medium)
        for name in names:
            _put(path(name), tracks[name])
        suite.cli("scan", medium, "--source", "VD10")
        middle = bytearray(tracks["middle.mp3"])
        middle[100 * FRAME + 10:100 * FRAME + 1010] = bytes(1000)
        _put(path("middle.mp3"), bytes(middle))
        _put(path("short.mp3"), tracks["short.mp3"][:60000])
        os.remove(path("gone.mp3"))
        library = os.environ.get("ONDRO_READ_FAULT_LIB")
        if not library or not os.path.exists(library):
            raise Failure(f"no library to make a read fail: ONDRO_READ_FAULT_LIB is {library!r}")
        suite.start_window({"LD_PRELOAD": library, "ONDRO_READ_FAULT": f"{READ_ERROR_AT}:{path('unread.mp3')}"})
        suite.continue_by_enter()
        suite.main_active(len(suite.cli("list").splitlines()))

    def verify(summary_text, problems, picture):
        """Media window, VD10, "Verify...": the summary, the rows, 'Last verified'."""
        suite.menu("Options", "Media...")
        suite.shows(named("Media", DIALOG), "the Media window", active=True)
        table = wait_for("its list 'Media'", lambda: find(_window(suite, "Media"), "Media", LISTS)).queryTable()
        sources = cells(table, 0)
        if "VD10" not in sources:
            raise Failure(f"the Media window lists {sources!r}, no VD10")
        click(table.getAccessibleAt(sources.index("VD10"), 0))
        wait_for("VD10's row selected", lambda: table.getSelectedRows() == [sources.index("VD10")])
        click(wait_for("the button 'Verify...'",
                       lambda: find(_window(suite, "Media"), "Verify...", (pyatspi.ROLE_PUSH_BUTTON,))))
        results = _window(suite, "Verification of VD10")
        wait_for(f"the summary {summary_text!r}", lambda: find(results, summary_text, (pyatspi.ROLE_LABEL,)))
        rows = wait_for("the list 'Files'", lambda: find(results, "Files", LISTS)).queryTable()
        found = [tuple(rows.getAccessibleAt(r, c).name for c in range(3)) for r in range(rows.nRows)]
        listed = {os.path.basename(p): (status, said) for status, p, said in found if status != "ok"}
        if set(listed) != set(problems) or any(not listed[n][1].startswith(problems[n][1])
                                               or listed[n][0] != problems[n][0] for n in problems):
            raise Failure(f"the results list {found!r}, not the problems {problems!r}")
        if [status for status, _, _ in found[:len(problems)]].count("ok"):
            raise Failure(f"the problems are not listed first: {found!r}")
        time.sleep(0.3)
        screenshot(os.path.join(suite.args.out, picture))
        key("Escape")
        suite.closes(named("Verification of VD10", DIALOG), "the results window closes on Escape")
        shown = cells(table, 7)[sources.index("VD10")]  # Last verified
        ends = f"{len(problems)} problems" if problems else "all ok"
        if not shown.endswith(ends):
            raise Failure(f"the Media window's 'Last verified' reads {shown!r}, not ...{ends!r}")
        key("Escape")
        suite.closes(named("Media", DIALOG), "the Media window closes on Escape")

    def saved(problems):
        suite.close_answering("Save")
        found = suite.cli("query", "has:problem source:VD10", status=0 if problems else 1).splitlines()
        marked = sorted(os.path.basename(line.split("\t")[0]) for line in found)
        if len(found) != len(problems) or not all(any(n in line for line in found) for n in problems):
            raise Failure(f"has:problem finds {found!r}, not {sorted(problems)!r} ({marked!r})")

    def restored_started():
        for name in EXPECTED:
            _put(path(name), tracks[name])
        suite.start_window()
        suite.continue_by_enter()
        suite.main_active(len(suite.cli("list").splitlines()))

    suite.session([
        ("ondro-cli scans VD10; a file is changed in its audio, one cut short, one removed; a start in which "
         "one fails to read at a byte", scanned_spoilt_started, True),
        ("Media window, 'Verify...': exactly the four problems, listed first; 'Last verified' reads 4 problems",
         lambda: verify("VD10: 5 files, 1 ok, 1 unreadable, 1 changed, 1 damaged, 1 missing", EXPECTED,
                        "verify-results.png"), False),
        ("Files > Close, 'Save': has:problem finds the four files", lambda: saved(EXPECTED), False),
        ("the files put back, a new start", restored_started, True),
        ("'Verify...' again: all ok, 'Last verified' reads all ok",
         lambda: verify("VD10: 5 files, 5 ok, 0 unreadable, 0 changed, 0 damaged, 0 missing", {},
                        "verify-restored.png"), False),
        ("Files > Close, 'Save': has:problem finds nothing, the marks are gone", lambda: saved({}), False),
    ])
