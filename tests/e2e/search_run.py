"""The search in the desktop: the Query window with a query, the filter's
message whole at the first window size, its keys, and saved queries kept
through the menu. Runs on the catalogue the earlier runs left (6 files, 3 of
them by "Old Stick")."""

import os
import time

import pyatspi

from desktop import Failure, children, click, extents, find, has_state, key, named, screenshot, type_text, wait_file, wait_for

DIALOG = (pyatspi.ROLE_DIALOG, pyatspi.ROLE_ALERT)
LABEL = (pyatspi.ROLE_LABEL,)


def search_run(suite):
    state = os.path.join(os.environ["XDG_STATE_HOME"], "ondro", "state.ini")
    saved = os.path.join(os.environ["XDG_DATA_HOME"], "ondro", "queries.json")

    def start():
        if os.path.exists(state):
            os.remove(state)  # the first window size
        suite.start_window()
        suite.continue_by_enter()
        suite.main_active(6)

    def query_window():
        click(wait_for("the tool button 'Query'", lambda: find(suite.main(), "Query", (pyatspi.ROLE_PUSH_BUTTON,))))
        suite.shows(named("Search", DIALOG), "the question 'Search'", active=True)
        type_text('artist:"old stick"')
        key("Return")
        window = suite.shows(named("Ondro Query - 3 Matches", DIALOG), "the query window 'Ondro Query - 3 Matches'",
                             active=True)
        rows = wait_for("its list", lambda: find(window, "Query results")).queryTable().nRows
        if rows != 3:
            raise Failure(f"the query window lists {rows} rows, not 3")
        key("Escape")
        suite.closes(lambda w: w.name.startswith("Ondro Query"), "the query window closes")

    def message_label(prefix):
        return wait_for(f"a label beginning {prefix!r}",
                        lambda: next((c for c in labels() if c.name.startswith(prefix)), None))

    def labels():
        found = []
        stack = [suite.main()]
        while stack:
            node = stack.pop()
            for child in children(node):
                if child.getRole() in LABEL and has_state(child, pyatspi.STATE_SHOWING):
                    found.append(child)
                stack.append(child)
        return found

    def error_whole():
        main = suite.main(active=True)
        mx, my, mw, mh = extents(main)
        if (mw, mh) != (724, 614):
            raise Failure(f"the main window is {mw}x{mh}, not its first size 724x614")
        key("ctrl+l")
        type_text("artist:stick (year:2001")
        label = message_label('Missing ")" for the "(" at 14')
        wanted = 'Missing ")" for the "(" at 14 \u2014 showing the last good filter\'s 3 rows'
        if label.name != wanted:
            raise Failure(f"the label reads {label.name!r}, not {wanted!r}")
        x, y, w, h = extents(label)
        if x < mx or y < my or x + w > mx + mw or y + h > my + mh or w < 200:
            raise Failure(f"the label at {(x, y, w, h)} is not whole inside the window at {(mx, my, mw, mh)}")
        screenshot(os.path.join(suite.args.out, "filter-error-first-size.png"))

    def escape_and_down():
        key("Escape")
        message_label("6 of 6 shown")  # the box emptied shows every row
        key("Escape")
        suite.list_focused()
        key("ctrl+l")
        type_text("stick")
        message_label("3 of 6 shown")
        key("Down")
        suite.list_focused()
        if suite.catalogue().queryTable().nSelectedRows != 1:
            raise Failure("Down in the filter box selected no row")

    def menu_entry(name):
        menu = wait_for("a pop-up menu", lambda: suite.popups.last)
        entry = wait_for(f"its entry {name!r}",
                         lambda: next((c for c in children(menu) if c.name == name and c.getRole() in
                                       (pyatspi.ROLE_MENU_ITEM, pyatspi.ROLE_MENU)), None))
        time.sleep(0.15)  # a menu takes clicks once it has opened
        suite.popups.last = None
        click(entry)

    def from_menu(*path):
        suite.popups.last = None
        click(wait_for("the button 'Saved queries'", lambda: find(suite.main(), "Saved queries")))
        for name in path:
            menu_entry(name)

    def prompt(title, text):
        suite.shows(named(title, DIALOG), f"the question {title!r}", active=True)
        type_text(text)
        key("Return")
        suite.closes(named(title, DIALOG), f"the question {title!r} closes")

    def saved_queries():
        from_menu("Save Query...")
        prompt("Save Query", "sticks")
        wait_file(saved, "the saved query", contains='"name":"sticks","query":"stick"')
        from_menu("Rename Query", "sticks")
        prompt("Rename Query", "old")
        wait_file(saved, "the renamed query", contains='"name":"old","query":"stick"')
        from_menu("Delete Query", "old")
        suite.answer('Delete the saved query "old"?', button="Yes")
        wait_file(saved, "the emptied list", contains='{"queries":[]}')

    suite.session([
        ("a start at the first size: 'Ondro 2000 - 6 files'", start, True),
        ("'Query' with 'artist:\"old stick\"' lists its 3 matches", query_window, False),
        ("the filter's message for a query that does not parse is whole inside the window at 724x614",
         error_whole, False),
        ("Escape empties the filter, a second gives the list the focus; Down reaches the list's row",
         escape_and_down, False),
        ("the saved queries' menu saves, renames and deletes a query", saved_queries, False),
        ("Files > Close ends the unchanged program at once with status 0", suite.close_unchanged, False),
    ])
