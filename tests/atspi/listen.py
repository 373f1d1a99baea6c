"""A screen reader's view of the running tool, through AT-SPI: every control of the window has
a role and a name, and a change of the status line reaches a listener. Run by scripts/atspi-check.
"""
import sys

import pyatspi
from gi.repository import GLib


def find(node, test, depth=0):
    if node is None or depth > 40:
        return None
    if test(node):
        return node
    for i in range(node.childCount):
        found = find(node.getChildAtIndex(i), test, depth + 1)
        if found is not None:
            return found
    return None


def walk(node, out, depth=0):
    if node is None or depth > 40:
        return
    out.append(node)
    for i in range(node.childCount):
        walk(node.getChildAtIndex(i), out, depth + 1)


def main():
    desktop = pyatspi.Registry.getDesktop(0)
    app = None
    for _ in range(100):
        app = find(desktop, lambda n: n.getRole() == pyatspi.ROLE_APPLICATION
                   and n.name == "zentrix")
        if app is not None:
            break
        GLib.usleep(100000)
    if app is None:
        print("atspi: the tool is not on the accessibility bus")
        return 1
    window = find(app, lambda n: n.name.startswith("Zentrix Configuration"))
    nodes = []
    walk(window, nodes)
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
