"""A screen reader's view of the running tool, through AT-SPI, with the keyboard alone: the port
list is named by its label and takes the port's number typed; every control of the window has a
role and a name that says what it is or holds, never what to do; the CAL/RUN switch is a check
box, checked in CAL; a change of the status line reaches a listener. Run by scripts/atspi-check.
"""
import sys

import pyatspi
from gi.repository import GLib

from tree import choose_port, click, find, find_all, tool_window, wait_until, xdotool

INSTRUCTIONS = ("Press", "To ", "Right click", "Select", "Enter", "1)")


def main():
    failures = []

    def check(ok, what):
        print("atspi: %s: %s" % ("ok" if ok else "FAILED", what))
        if not ok:
            failures.append(what)

    dialog = tool_window("Select COM Port")
    if dialog is None:
        print("atspi: the port dialog is not on the accessibility bus")
        return 1
    ports = find(dialog, lambda n: n.getRole() == pyatspi.ROLE_COMBO_BOX)
    value = ports.queryText().getText(0, -1) if ports is not None else ""
    check(ports is not None and ports.name == "Please select COM port:",
          "the port list is named by its label (%r, value %r)" % (ports and ports.name, value))
    choose_port(49)

    window = tool_window()
    if window is None:
        print("atspi: the tool is not on the accessibility bus")
        return 1
    panel = find(window, lambda n: n.getRole() == pyatspi.ROLE_STATUS_BAR
                 and n.name.startswith("COM"))
    wait_until(lambda: find(window, lambda n: n.name == "COM49,9600,N,8,1") is not None, 5)
    check(find(window, lambda n: n.name == "COM49,9600,N,8,1") is not None,
          "typing 49 opened COM49 (%s)" % (panel and panel.name))
    nodes = find_all(window, lambda n: True)
    unnamed = [n for n in nodes if not n.name and n.getRole() != pyatspi.ROLE_UNKNOWN]
    print("atspi: %d accessible objects, %d without a name: %s" % (
        len(nodes), len(unnamed), ", ".join(sorted(set(n.getRoleName() for n in unnamed)))))
    instructed = [n.name for n in nodes if n.name.startswith(INSTRUCTIONS)]
    check(not instructed, "no control is named by an instruction %s" % instructed)
    switch = find(window, lambda n: n.name.startswith("CAL/RUN switch"))
    check(switch is not None and switch.getRole() in (pyatspi.ROLE_CHECK_BOX,
                                                      pyatspi.ROLE_TOGGLE_BUTTON),
          "the CAL/RUN switch is a check box (%s)" % (switch and switch.getRoleName()))

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
    check("Success." in heard, "the status line's Success. is heard (%s)" % heard)

    # The second status panel's task from the keyboard: Ctrl+I reads the version. (Xvfb has no
    # window manager to give the window the keyboard: a click on the status line does.)
    click(find(window, lambda n: n.getRole() == pyatspi.ROLE_STATUS_BAR and n.name == "Ready"))
    xdotool("key", "ctrl+i")
    check(wait_until(lambda: find(window, lambda n: n.getRole() == pyatspi.ROLE_STATUS_BAR
                                  and n.name.startswith("Zentrix")) is not None, 5),
          "Ctrl+I read the module's version")
    # The first panel's: Ctrl+P chooses the port again.
    xdotool("key", "ctrl+p")
    check(tool_window("Select COM Port") is not None, "Ctrl+P opened the port dialog")
    choose_port(49)
    check(wait_until(lambda: find(window, lambda n: n.name == "COM port opened.") is not None, 5),
          "the port chosen again from the keyboard")
    # The virtual module starts in RUN; full mode is not needed to read the state.
    check(switch is not None and switch.name == "CAL/RUN switch: RUN"
          and not switch.getState().contains(pyatspi.STATE_CHECKED),
          "the switch says RUN and is not checked (%s)" % (switch and switch.name))
    return 1 if failures else 0


sys.exit(main())
