"""A screen reader's view of the running tool, through AT-SPI, with the keyboard alone: the port
list is named by its label, its ports can be browsed with the chosen one selected, an arrowed
port is said, and it takes the port's number typed; every control of the window has a role and
a name that says what it is or holds, never what to do; the range lists say which they are; the
CAL/RUN switch is a check box, checked in CAL; the status line is a polite live region whose
outcome is said once. Run by scripts/atspi-check.
"""
import sys

import pyatspi
from gi.repository import GLib

from tree import (choose_port, click, find, find_all, tool_window, value, wait_until,
                  xdotool)


def selected_entries(combo):
    entries = combo.getChildAtIndex(0)
    return [entries.getChildAtIndex(i).name for i in range(entries.childCount)
            if entries.getChildAtIndex(i).getState().contains(pyatspi.STATE_SELECTED)]


def hear(kinds, act, seconds=2.0):
    """The events of those kinds that come while the act is done, as (source name, data)."""
    heard = []

    def listener(e):
        heard.append((e.type, e.source.name, e.any_data))
    for kind in kinds:
        pyatspi.Registry.registerEventListener(listener, kind)
    GLib.idle_add(lambda: act() and False)
    GLib.timeout_add(int(seconds * 1000), pyatspi.Registry.stop)
    pyatspi.Registry.start()
    for kind in kinds:
        pyatspi.Registry.deregisterEventListener(listener, kind)
    return heard


def qt_carries_attributes():
    import subprocess
    version = subprocess.run(["qtpaths6", "--qt-version"], capture_output=True,
                             text=True).stdout.strip()
    return tuple(int(p) for p in version.split(".")[:2]) >= (6, 8), version

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
    first = value(ports) if ports is not None else ""
    check(ports is not None and ports.name == "Please select COM port:",
          "the port list is named by its label (%r, value %r)" % (ports and ports.name, first))
    # The ports can be browsed, the chosen one selected; Down says the next one.
    check(ports is not None and selected_entries(ports) == [first],
          "the port list's entries show the chosen one selected (%s)"
          % (ports and selected_entries(ports)))
    heard = hear(["object:text-changed:insert"], lambda: xdotool("key", "Down"))
    said = [data for kind, source, data in heard if source == ports.name]
    now = value(ports)
    check(now != first and said == [now] and selected_entries(ports) == [now],
          "Down said the next port once (%s, heard %s)" % (now, said))
    choose_port(49)

    window = tool_window()
    if window is None:
        print("atspi: the tool is not on the accessibility bus")
        return 1
    # The port panel says what it is before what it shows.
    port = "Port: COM49,9600,N,8,1"
    wait_until(lambda: find(window, lambda n: n.name == port) is not None, 5)
    panel = find(window, lambda n: n.getRole() == pyatspi.ROLE_STATUS_BAR
                 and n.name.startswith("Port"))
    check(find(window, lambda n: n.name == port) is not None,
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

    lists = {n.name: n for n in find_all(window, lambda n: n.getRole() == pyatspi.ROLE_COMBO_BOX)}
    for name in ("Input ranges", "Output ranges"):
        ranges = lists.get(name)
        labels = [t.name for r in (ranges.getRelationSet() if ranges else [])
                  if r.getRelationType() == pyatspi.RELATION_LABELLED_BY
                  for t in (r.getTarget(i) for i in range(r.getNTargets()))]
        check(ranges is not None and value(ranges).endswith(("V", "mA")) and "Ranges" in labels,
              "the list %r holds a range as its value and is labelled by its caption (%s, %s)"
              % (name, ranges and value(ranges), labels))

    read = find(window, lambda n: n.getRole() == pyatspi.ROLE_PUSH_BUTTON
                and n.description.startswith("Press to read programmed input range"))
    if read is None:
        print("atspi: no read button")
        return 1
    heard = hear(["object:text-changed:insert", "object:property-change:accessible-name"],
                 lambda: read.queryAction().doAction(0), 3)
    status = find(window, lambda n: n.getRole() == pyatspi.ROLE_STATUS_BAR
                  and n.name == "Ready")
    inserted = [data for kind, source, data in heard
                if kind.startswith("object:text-changed") and data == "Success."]
    check(len(inserted) == 1, "the status line's Success. is said once (%d times)" % len(inserted))
    carries, version = qt_carries_attributes()
    if carries:
        attributes = status.getAttributes() if status else []
        check("live:polite" in attributes, "the status line is a polite live region (%s)"
              % attributes)
    else:
        print("atspi: skipped: the live attribute: Qt %s carries no object attributes to the "
              "accessibility bus (Qt 6.8 does)" % version)

    # The second status panel's task from the keyboard: Ctrl+I reads the version. (Xvfb has no
    # window manager to give the window the keyboard: a click on the status line does.)
    click(find(window, lambda n: n.getRole() == pyatspi.ROLE_STATUS_BAR and n.name == "Ready"))
    xdotool("key", "ctrl+i")
    check(wait_until(lambda: find(window, lambda n: n.getRole() == pyatspi.ROLE_STATUS_BAR
                                  and n.name.startswith("Module version: Zentrix")) is not None,
                     5),
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
