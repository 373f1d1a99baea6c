"""Finding things in the tool's accessibility tree, and real input for them."""
import os
import subprocess
import time

import pyatspi
from gi.repository import GLib


def find_all(node, test, out=None, depth=0):
    out = [] if out is None else out
    if node is None or depth > 40:
        return out
    if test(node):
        out.append(node)
    for i in range(node.childCount):
        find_all(node.getChildAtIndex(i), test, out, depth + 1)
    return out


def find(node, test):
    found = find_all(node, test)
    return found[0] if found else None


def tool_window(title="Zentrix Configuration"):
    desktop = pyatspi.Registry.getDesktop(0)
    for _ in range(100):
        app = find(desktop, lambda n: n.getRole() == pyatspi.ROLE_APPLICATION
                   and n.name == "zentrix")
        window = app and find(app, lambda n: n.name.startswith(title))
        if window is not None:
            return window
        GLib.usleep(100000)
    return None


def choose_port(number):
    """Types the port's number in the port dialog, then Tab to OK and Space, as a person does
    without a mouse."""
    xdotool("type", "--delay", 60, str(number))
    xdotool("key", "Tab", "space")


def centre(node):
    e = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return e.x + e.width // 2, e.y + e.height // 2


def xdotool(*args):
    subprocess.run(["xdotool", *map(str, args)], check=True)


def click(node):
    x, y = centre(node)
    xdotool("mousemove", x, y, "click", 1)


def wait_until(test, seconds=10.0):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if test():
            return True
        time.sleep(0.05)
    return False


def focus(node, then=()):
    """Gives the control the keyboard as a person does, with a click (and the keys given, such
    as Escape for a list that dropped down), and waits until it has it."""
    click(node)
    if then:
        time.sleep(0.3)
        xdotool("key", *then)
    return wait_until(lambda: node.getState().contains(pyatspi.STATE_FOCUSED), 5)


# The virtual module's frame trace, and the window's controls as the checks meet them.

STX, ETX, DLE = 0x02, 0x03, 0x10


def requests(name):
    """The bodies of the requests of that name the module received, unescaped, in order."""
    bodies = []
    with open(os.environ["ZX_SIM_TRACE"]) as trace:
        for line in trace:
            fields = line.split("] ", 1)[-1].split()
            if len(fields) < 2 or fields[0] != "rx" or fields[-1] != name:
                continue
            raw = [int(f, 16) for f in fields[1:-1]]
            body, escaped = [], False
            for b in raw[1:-1]:
                if escaped:
                    body.append(0xFF - b)
                    escaped = False
                elif b == DLE:
                    escaped = True
                else:
                    body.append(b)
            bodies.append(body)
    return bodies


def quiet(seconds=1.5):
    """Waits until the trace has not grown for a while: every answer is in."""
    path = os.environ["ZX_SIM_TRACE"]
    last = [os.path.getsize(path), 0]

    def settled():
        size = os.path.getsize(path)
        if size != last[0]:
            last[:] = [size, 0]
        else:
            last[1] += 1
        return last[1] * 0.05 >= seconds
    return wait_until(settled, 30)


def index_of(combo):
    items = combo.getChildAtIndex(0)
    names = [items.getChildAtIndex(i).name for i in range(items.childCount)]
    return names.index(value(combo)), len(names)


def value(node):
    return node.queryText().getText(0, -1)


def button(window, hint):
    return find(window, lambda n: n.getRole() == pyatspi.ROLE_PUSH_BUTTON
                and n.description.startswith(hint))


def enabled(node):
    return node.getState().contains(pyatspi.STATE_ENABLED)


class Checks:
    """Says each check's outcome under the check's name and remembers the failures."""

    def __init__(self, name):
        self.name = name
        self.failures = []

    def __call__(self, ok, what):
        print("%s: %s: %s" % (self.name, "ok" if ok else "FAILED", what))
        if not ok:
            self.failures.append(what)


def connect_to_module(name, number=49):
    """Chooses the module's port in the port dialog; the main window, or None (said)."""
    if tool_window("Select COM Port") is None:
        print("%s: no port dialog" % name)
        return None
    choose_port(number)
    window = tool_window()
    if window is None:
        print("%s: the tool is not on the accessibility bus" % name)
    return window
