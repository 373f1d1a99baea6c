"""A screen reader's view of the running tool, through AT-SPI: every control of the window has
a role and a name, and a change of the status line reaches a listener. Run by scripts/atspi-check.
"""
import sys

import pyatspi
from gi.repository import GLib

from tree import find, find_all, tool_window


def main():
    window = tool_window()
    if window is None:
        print("atspi: the tool is not on the accessibility bus")
        return 1
    nodes = find_all(window, lambda n: True)
    unnamed = [n for n in nodes if not n.name and n.getRole() != pyatspi.ROLE_UNKNOWN]
    print("atspi: %d accessible objects, %d without a name: %s" % (
        len(nodes), len(unnamed), ", ".join(sorted(set(n.getRoleName() for n in unnamed)))))

    heard = []
    pyatspi.Registry.registerEventListener(
        lambda e: heard.append(e.source.name), "object:property-change:accessible-name")
    read = find(window, lambda n: n.getRole() == pyatspi.ROLE_PUSH_BUTTON
                and n.description.startswith("Press to read programmed input range"))
    if read is None:
        print("atspi: no read button")
        return 1
    read.queryAction().doAction(0)
    GLib.timeout_add(3000, pyatspi.Registry.stop)
    pyatspi.Registry.start()
    print("atspi: heard %s" % heard)
    return 0 if "Success." in heard else 1


sys.exit(main())
