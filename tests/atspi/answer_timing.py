"""A module whose answers come late, twice or never, met with real X input events: the window
ends showing what the module reported last, and every request ends on the status line. Run by
scripts/atspi-check with --late 6 --late-ms 6000 --twice 4 --silent 32 --delay 200 for the
module: range changes answered 6 s late, programmed input reads answered twice, the CAL/RUN
switch never answered.
"""
import sys
import time

import pyatspi

from tree import (Checks, button, click, connect_to_module, enabled, find, find_all, focus,
                  index_of, quiet, requests, wait_until, xdotool)


def main():
    window = connect_to_module("answer timing")
    if window is None:
        return 1
    check = Checks("answer timing")

    def status():
        """The status line's text, or the texts of all panels when none is a status text."""
        names = [n.name for n in find_all(window,
                                          lambda n: n.getRole() == pyatspi.ROLE_STATUS_BAR)]
        known = [n for n in names if n in ("Success.", "Ready", "No response !", "Failed.")
                 or n.endswith("...")]
        return known[0] if known else names

    inputs, outputs = sorted(
        find_all(window, lambda n: n.getRole() == pyatspi.ROLE_COMBO_BOX),
        key=lambda n: n.queryComponent().getExtents(pyatspi.DESKTOP_COORDS).x)
    read_input = button(window, "Press to read programmed input range")
    read_output = button(window, "Press button to read programmed output range")

    # The input read is answered twice; the output read, pressed right after it, must get its
    # own answer rather than the copy.
    a, b = [n.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
            for n in (read_input, read_output)]
    xdotool("mousemove", a.x + a.width // 2, a.y + a.height // 2, "click", 1,
            "mousemove", b.x + b.width // 2, b.y + b.height // 2, "click", 1)
    quiet()
    check(enabled(inputs) and enabled(outputs),
          "both groups filled though the input answer came twice")
    check(status() in ("Success.", "Ready"), "the status line ended well (%s)" % status())

    # A range change answered after its time-out, then another: the late answer must not be
    # taken for the newer change's.
    start, _ = index_of(inputs)
    focus(inputs, ["Escape"])
    xdotool("key", "Up")
    check(wait_until(lambda: status() == "No response !", 6), "the late change: No response !")
    xdotool("key", "Up")
    time.sleep(14)  # both late answers are in
    shown, _ = index_of(inputs)
    reached = requests("cmdSelectInputRange")
    check(shown == start - 2, "the list shows the last choice (%d to %d)" % (start, shown))
    check([r[1] for r in reached][-2:] == [start - 1, start - 2],
          "the module got both changes in order (%s)" % [r[1] for r in reached])
    click(button(window, "1) Press button to set input range"))
    time.sleep(7)
    programmed = requests("cmdProgramInputRange")
    check(len(programmed) == 1 and programmed[0][1] == shown, "S made the range shown permanent")

    # Full mode; then a read with the switch thrown right behind it. The switch is never
    # answered: it must end in No response ! and show the module's mode again.
    focus(read_input)
    xdotool("key", "ctrl+alt+shift+F11")
    time.sleep(0.8)
    xdotool("key", "Return")
    click(read_input)  # full mode's controls come with the next read
    switch = find(window, lambda n: n.name.startswith("CAL/RUN switch"))
    check(wait_until(lambda: enabled(switch), 5), "full mode enabled the switch")
    quiet()
    before = switch.name
    s = switch.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    r = read_input.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    xdotool("mousemove", r.x + r.width // 2, r.y + r.height // 2, "click", 1,
            "mousemove", s.x + s.width // 2, s.y + s.height // 4, "click", 1)
    check(wait_until(lambda: status() == "No response !", 8),
          "the unanswered switch ended in No response ! (%s)" % status())
    check(len(requests("cmdSetCalMode")) == 1, "the module heard the switch")
    check(switch.name == before, "the switch shows the module's mode again (%s)" % switch.name)
    return 1 if check.failures else 0


sys.exit(main())
