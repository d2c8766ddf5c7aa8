# What a collector keeps between runs: the maximised window, the mark bin's
# Delete, and a fact column shown from the list header's pop-up menu.
import os
import time

import pyatspi

from desktop import Failure, click, extents, find, has_state, key, wait_for, x_output, xdotool


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
        ("the header's menu shows 'Bitrate'; Close keeps it in the state file", show_column, False),
        ("the next start shows 'Bitrate' checked in the header's menu", column_shown_again, False),
    ])
