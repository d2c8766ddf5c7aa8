# The Duplicates window acted on and a statistics table sorted, on the
# catalogue the media run leaves: three files of the same audio on HD01,
# two of the 1990s and one of the 1950s.
import pyatspi

from desktop import Failure, click, extents, find, key, named, wait_for, xdotool

DIALOG = (pyatspi.ROLE_DIALOG,)
BUTTON = (pyatspi.ROLE_PUSH_BUTTON,)
LISTS = (pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE)
FILENAME_COLUMN = 8


def duplicates_run(suite):
    def duplicates_list():
        window = suite.shows(named("Duplicates", DIALOG), "the Duplicates window", active=True)
        return window, wait_for("its list 'Duplicates'", lambda: find(window, "Duplicates", LISTS)).queryTable()

    def mark_all_but_best():
        before = suite.rows("Marked Bin")
        suite.menu("Options", "Duplicates...")
        window, _ = duplicates_list()
        click(wait_for("its button 'Mark All but the Best Copies'",
                       lambda: find(window, "Mark All but the Best Copies", BUTTON)))
        # Equal copies: the first is kept, the other two marked.
        wait_for("two rows added to the mark bin", lambda: suite.rows("Marked Bin") == before + 2,
                 seen=lambda: f"{suite.rows('Marked Bin') - before} added")

    def double_click_selects():
        _, table = duplicates_list()
        cell = table.getAccessibleAt(3, 0)  # the group's last copy
        path = table.getAccessibleAt(3, FILENAME_COLUMN).name
        click(cell, double=True)
        catalogue = suite.catalogue().queryTable()

        def selected():
            rows = catalogue.getSelectedRows()
            return [catalogue.getAccessibleAt(r, 0).name for r in rows]
        wait_for(f"the main list's selected row {path!r}", lambda: selected() == [path],
                 seen=lambda: f"selected {selected()!r}")
        key("Escape")
        suite.closes(named("Duplicates", DIALOG), "the Duplicates window closes on Escape")

    def header_click_sorts():
        suite.menu("Options", "Statistics...")
        window = suite.shows(named("Statistics", DIALOG), "the Statistics window", active=True)
        click(wait_for("its tab 'Decade'", lambda: find(window, "Decade", (pyatspi.ROLE_PAGE_TAB,))))
        table = wait_for("the table 'Decade'", lambda: find(window, "Decade", LISTS, showing=True)).queryTable()

        def keys():
            return [table.getAccessibleAt(r, 0).name for r in range(table.nRows)]
        if keys() != ["1990s", "1950s"]:
            raise Failure(f"the decades read {keys()!r}, not most entries first")
        x, y, _, _ = extents(table.getColumnHeader(0))
        xdotool("mousemove", "--sync", str(x + 8), str(y + 6))
        xdotool("click", "1")
        wait_for("the decades in their order after a click on the header", lambda: keys() == ["1950s", "1990s"],
                 seen=lambda: repr(keys()))
        key("Escape")
        suite.closes(named("Statistics", DIALOG), "the Statistics window closes on Escape")

    suite.session([
        ("fourth start: Enter on 'Continue', 'Ondro 2000 - 3 files'",
         lambda: (suite.start_window(), suite.continue_by_enter(), suite.main_active(3)), True),
        ("Duplicates: 'Mark All but the Best Copies' marks the two other copies", mark_all_but_best, False),
        ("a double click on a copy selects it in the main list", double_click_selects, False),
        ("Statistics: a click on the Decade header sorts the decades by their years", header_click_sorts, False),
        ("Files > Close ends the unchanged program at once with status 0", suite.close_unchanged, False),
    ])
