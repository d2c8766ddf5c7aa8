# What a user (or a screen reader) sees of the running program, read from the
# accessibility bus, and the real mouse and keyboard, through xdotool. Every
# wait polls with a short time limit and fails with what it saw instead.
import os
import re
import subprocess
import time

import pyatspi
from gi.repository import GLib

POLL = 0.1
WAIT = 8.0  # a shared, loaded machine: generous, yet far below any hang

# Roles whose children are data (rows, cells) rather than controls.
DATA_ROLES = {pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_TREE, pyatspi.ROLE_LIST,
              pyatspi.ROLE_LIST_BOX}


class Failure(Exception):
    pass


def _pump():
    # Accessibility events update the client's cache; let them in.
    context = GLib.MainContext.default()
    while context.pending():
        context.iteration(False)


def wait_for(what, probe, timeout=WAIT, seen=None):
    """Polls probe() until it returns something true; returns that."""
    deadline = time.monotonic() + timeout
    while True:
        _pump()
        try:
            value = probe()
        except Failure:
            raise
        except Exception:  # the object went away while it was read
            value = None
        if value:
            return value
        if time.monotonic() > deadline:
            detail = seen() if seen else ""
            raise Failure(f"{what}: not seen within {timeout:g} s" + (f"; seen: {detail}" if detail else ""))
        time.sleep(POLL)


def role_name(acc):
    try:
        return acc.getRoleName()
    except Exception:
        return "?"


def has_state(acc, state):
    try:
        return acc.getState().contains(state)
    except Exception:
        return False


def children(acc):
    try:
        return [acc.getChildAtIndex(i) for i in range(acc.childCount)]
    except Exception:
        return []


def descendants(acc, depth=12, into_data=False):
    """The controls below acc, breadth first, not into lists' rows."""
    level = [acc]
    for _ in range(depth):
        below = []
        for a in level:
            if a is not acc and not into_data and a.getRole() in DATA_ROLES:
                continue
            for c in children(a):
                if c is not None:
                    yield c
                    below.append(c)
        level = below
        if not level:
            return


def find(acc, name=None, roles=None, showing=False):
    for d in descendants(acc):
        try:
            if name is not None and d.name != name:
                continue
            if roles is not None and d.getRole() not in roles:
                continue
        except Exception:
            continue
        if showing and not has_state(d, pyatspi.STATE_SHOWING):
            continue
        return d
    return None


def texts(acc):
    """The labels' texts inside acc, as a reader reads them out."""
    found = []
    for d in descendants(acc):
        try:
            if d.getRole() == pyatspi.ROLE_LABEL and d.name:
                found.append(d.name)
        except Exception:
            pass
    return found


def extents(acc):
    box = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return box.x, box.y, box.width, box.height


def xdotool(*args):
    subprocess.run(["xdotool", *args], check=True, timeout=10)


def click(acc, double=False):
    x, y, w, h = extents(acc)
    if w <= 0 or h <= 0:
        raise Failure(f"'{acc.name}' has no place on the screen ({x},{y} {w}x{h})")
    target = (x + w // 2, y + h // 2)
    # "mousemove --sync" waits for a motion that never comes when the
    # pointer is already there (a second click on the same button).
    where = subprocess.run(["xdotool", "getmouselocation", "--shell"], capture_output=True, text=True,
                           check=True, timeout=10).stdout
    at = dict(line.split("=", 1) for line in where.split())
    if (int(at.get("X", -1)), int(at.get("Y", -1))) != target:
        xdotool("mousemove", "--sync", str(target[0]), str(target[1]))
    if double:
        xdotool("click", "--repeat", "2", "--delay", "80", "1")
    else:
        xdotool("click", "1")


def key(*keys):
    xdotool("key", "--clearmodifiers", *keys)


def type_text(text):
    xdotool("type", "--delay", "5", "--", text)


def screenshot(path):
    subprocess.run(["import", "-window", "root", path], timeout=20,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return path


def focused(acc):
    """What has the keyboard inside acc, as a reader names it."""
    for d in descendants(acc):
        if has_state(d, pyatspi.STATE_FOCUSED):
            return f"'{d.name}' [{role_name(d)}]"
    return "nothing"


class PopupMenus:
    """Qt lists no pop-up menu among its program's windows on the bus: a
    reader learns of one from its "showing" event. Keeps the last one shown."""

    def __init__(self):
        self.last = None
        pyatspi.Registry.registerEventListener(self._showing, "object:state-changed:showing")

    def _showing(self, event):
        try:
            if event.detail1 and event.source.getRole() == pyatspi.ROLE_POPUP_MENU:
                self.last = event.source
        except Exception:  # gone again before it was read
            pass


def x_output(*command):
    return subprocess.run(command, capture_output=True, text=True, check=True, timeout=10).stdout


def frame_placement(window_id):
    """Whether the X window's frame, title bar included, lies inside the
    screen's available area; with both described. (xdotool's window
    geometry counts a decorated window's offset in its frame twice.)"""
    info = dict(line.strip().split(": ", 1) for line in x_output("xwininfo", "-id", window_id).splitlines()
                if ": " in line)
    x, y, w, h = (int(info[k]) for k in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height"))
    extents = x_output("xprop", "-id", window_id, "_NET_FRAME_EXTENTS")
    if "=" not in extents:
        raise Failure(f"the window has no frame: {extents.strip()}")
    left, right, top, bottom = (int(v) for v in extents.split("=")[1].split(","))
    ax, ay, aw, ah = (int(v) for v in x_output("xprop", "-root", "_NET_WORKAREA").split("=")[1].split(",")[:4])
    x0, y0, x1, y1 = x - left, y - top, x + w + right, y + h + bottom
    inside = ax <= x0 and ay <= y0 and x1 <= ax + aw and y1 <= ay + ah
    return inside, f"frame at {x0},{y0}..{x1},{y1} in the available area {ax},{ay}..{ax + aw},{ay + ah}"


def active_window_title():
    done = subprocess.run(["xdotool", "getactivewindow", "getwindowname"], capture_output=True, text=True,
                          timeout=10)
    return done.stdout.strip() if done.returncode == 0 else "(no active window)"


class Program:
    """One run of the program and its top-level windows on the bus."""

    def __init__(self, command, stderr_path, pid_file, env=None):
        self.stderr_path = stderr_path
        self.stderr = open(stderr_path, "w")
        self.process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=self.stderr,
                                        env=None if env is None else {**os.environ, **env})
        with open(pid_file, "a") as f:
            f.write(f"{self.process.pid}\n")
        self._app = None

    def app(self):
        if self._app is not None:
            return self._app
        desktop = pyatspi.Registry.getDesktop(0)
        for a in children(desktop):
            try:
                if a is not None and a.get_process_id() == self.process.pid:
                    self._app = a
                    return a
            except Exception:
                pass
        return None

    def windows(self):
        if self.process.poll() is not None:
            raise Failure(f"the program has ended (exit status {self.process.returncode})")
        app = self.app()
        if app is None:
            return []
        app.clearCache()
        # Closed windows that still exist stay on the bus, marked not visible.
        return [w for w in children(app) if w is not None and has_state(w, pyatspi.STATE_VISIBLE)]

    def describe(self):
        if self.process.poll() is not None:
            return f"the program has ended (exit status {self.process.returncode})"
        shown = []
        for w in self.windows():
            try:
                state = " active" if has_state(w, pyatspi.STATE_ACTIVE) else ""
                shown.append(f"'{w.name}' [{role_name(w)}{state}]")
            except Exception:
                pass
        return (", ".join(shown) or "no window") + f" (title of the active X window: {active_window_title()!r})"

    def window(self, match, what, timeout=WAIT, active=False):
        """The shown window that match accepts; with active, once it has the keyboard."""
        def probe():
            for w in self.windows():
                if match(w) and (not active or has_state(w, pyatspi.STATE_ACTIVE)):
                    return w
            return None
        return wait_for(what, probe, timeout, self.describe)

    def gone(self, match, what, timeout=WAIT):
        wait_for(what, lambda: self.process.poll() is not None or not any(match(w) for w in self.windows()),
                 timeout, self.describe)

    def stderr_text(self):
        if not self.stderr.closed:
            self.stderr.flush()
        with open(self.stderr_path, errors="replace") as f:
            return f.read()

    def stop(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        self.stderr.close()


def cells(table, column):
    """The names of a table's cells in a column, top to bottom."""
    return [table.getAccessibleAt(r, column).name for r in range(table.nRows)]


def named(name, roles=None):
    def match(w):
        return w.name == name and (roles is None or w.getRole() in roles)
    return match


def message_box(text):
    """A message box whose text is text: what a user waits for."""
    def match(w):
        return w.getRole() in (pyatspi.ROLE_ALERT, pyatspi.ROLE_DIALOG) and text in texts(w)
    return match


def is_file_dialog(title):
    """Qt's own file dialog titled title (a window of the same title is not one)."""
    def match(w):
        return w.name == title and w.getRole() == pyatspi.ROLE_DIALOG and "Look in:" in texts(w)
    return match


def cut_texts(window):
    """The labels of window that cannot show their whole text: past the
    window's edges, or with less room than the text needs at 4.5 pixels a
    character on lines at least 12 pixels high (any readable font needs more)."""
    wx, wy, ww, wh = extents(window)
    cut = []
    for d in descendants(window):
        if d.getRole() == pyatspi.ROLE_LABEL and d.name:
            x, y, w, h = extents(d)
            if w <= 0:
                continue
            if x < wx or y < wy or x + w > wx + ww or y + h > wy + wh:
                cut.append(f"{d.name!r} at x {x}..{x + w} in a window at x {wx}..{wx + ww}")
            elif w * max(1, h // 12) < 4.5 * len(d.name):
                cut.append(f"{d.name!r} ({len(d.name)} characters) in a label of {w}x{h} pixels")
    return cut


# A role followed by a control's object name ("Text field Text2", "Picture
# LabelCount"): a token of one word with a digit, an inner capital or "_".
OBJECT_NAMED = re.compile(r"(List|Choice|Text field|Progress|Picture|Group) "
                          r"(?=[A-Za-z0-9_]*([0-9_]|[a-z][A-Z]))[A-Za-z][A-Za-z0-9_]*")
REACHABLE_ROLES = {pyatspi.ROLE_LABEL, pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY, pyatspi.ROLE_PASSWORD_TEXT}


def object_named(window):
    """The names of window's controls a user can reach (showing, focusable,
    or text to read) that are their object names, not what a user reads."""
    found = []
    for d in descendants(window):
        try:
            reachable = (has_state(d, pyatspi.STATE_SHOWING) or has_state(d, pyatspi.STATE_FOCUSABLE)
                         or d.getRole() in REACHABLE_ROLES)
            if reachable and OBJECT_NAMED.fullmatch(d.name or ""):
                found.append(f"{d.name!r} [{role_name(d)}]")
        except Exception:
            pass
    return found


def message_texts(program):
    return " | ".join(f"'{w.name}': {texts(w)}" for w in program.windows()
                      if w.getRole() in (pyatspi.ROLE_ALERT, pyatspi.ROLE_DIALOG)) or program.describe()


def wait_file(path, what, contains=None, timeout=WAIT):
    def probe():
        if not os.path.exists(path):
            return False
        if contains is None:
            return True
        with open(path, errors="replace") as f:
            return contains in f.read()
    return wait_for(what, probe, timeout)
