"""Fast hands on a slow module: with the module taking a few hundred milliseconds per answer,
three notches of the mouse wheel over the input range list, four quick Up presses there, ten
slow notches from its first range to its last, the wheel turned to and fro over the output range list and a held arrow on a DAC code edit must leave
the module on the last choice and the window showing it; S then makes that range permanent. Real X input events; the module's frame
trace says what reached it. Run by scripts/atspi-check with a --delay for the module.
"""
import os
import sys

import pyatspi

from tree import (Checks, button, click, connect_to_module, enabled, find_all, focus, index_of,
                  quiet, requests, wait_until, xdotool)

def main():
    window = connect_to_module("fast hands")
    if window is None:
        return 1
    combos = sorted(find_all(window, lambda n: n.getRole() == pyatspi.ROLE_COMBO_BOX),
                    key=lambda n: n.queryComponent().getExtents(pyatspi.DESKTOP_COORDS).x)
    inputs, outputs = combos
    check = Checks("fast hands")

    # Input: three wheel notches within 50 ms over the list.
    click(button(window, "Press to read programmed input range"))
    wait_until(lambda: enabled(inputs))
    quiet()
    start, _ = index_of(inputs)
    e = inputs.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    xdotool("mousemove", e.x + 60, e.y + 10, "click", "--repeat", 3, "--delay", 15, 5)
    quiet()
    shown, _ = index_of(inputs)
    reached = requests("cmdSelectInputRange")
    check(shown == start + 3, "the input list moved three ranges (%d to %d)" % (start, shown))
    check(bool(reached) and reached[-1][1] == shown,
          "the module ended on the range shown (%s)" % [r[1] for r in reached])
    click(button(window, "1) Press button to set input range"))
    quiet()
    programmed = requests("cmdProgramInputRange")
    check(len(programmed) == 1 and programmed[0][1] == shown, "S made the range shown permanent")

    # Four Up presses 10 ms apart, the list holding the keyboard.
    start = shown
    focus(inputs, ["Escape"])
    xdotool("key", "--delay", 10, "Up", "Up", "Up", "Up")
    quiet()
    shown, _ = index_of(inputs)
    reached = requests("cmdSelectInputRange")
    check(shown == start - 4, "the input list moved four ranges up (%d to %d)" % (start, shown))
    check(reached[-1][1] == shown, "the module ended on the range shown (%s)" % reached[-1])

    # A slow wheel: from the first range, ten notches 100 ms apart, each faster than the module
    # answers. The answer to an older notch must not set the list back under the next one.
    xdotool("key", "Home")
    quiet()
    check(index_of(inputs)[0] == 0, "Home chose the first input range")
    xdotool("mousemove", e.x + 60, e.y + 10, "click", "--repeat", 10, "--delay", 100, 5)
    quiet()
    shown, count = index_of(inputs)
    reached = requests("cmdSelectInputRange")
    check(shown == count - 1, "ten notches reached the last input range (%d)" % shown)
    check(reached[-1][1] == shown, "the module ended on it (%s)" % [r[1] for r in reached])

    # Output: the wheel down, up and down again within 50 ms.
    click(button(window, "Press button to read programmed output range"))
    wait_until(lambda: enabled(outputs))
    quiet()
    start, _ = index_of(outputs)
    e = outputs.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    xdotool("mousemove", e.x + 60, e.y + 10, "click", 5, "sleep", 0.015, "click", 4,
            "sleep", 0.015, "click", 5)
    quiet()
    shown, _ = index_of(outputs)
    reached = requests("cmdSelectOutputRange")
    check(shown == start + 1, "the output list ended one down (%d to %d)" % (start, shown))
    check(bool(reached) and reached[-1][1] == shown,
          "the module ended on the output range shown (%s)" % [r[1] for r in reached])

    # Full mode, then a DAC code edit with its arrow held: one request per step, faster than
    # the module answers.
    read = button(window, "Press to read programmed input range")
    focus(read)
    xdotool("key", "ctrl+alt+shift+F11")
    wait_until(lambda: False, 0.8)
    xdotool("key", "Return")
    click(button(window, "Press button to read programmed output range"))
    quiet()
    spin = find_all(window, lambda n: n.getRole() == pyatspi.ROLE_SPIN_BUTTON)[0]
    check(enabled(spin), "full mode enabled the DAC code edit")
    before = spin.queryValue().currentValue
    focus(spin)
    xdotool("key", "--delay", 20, *["Up"] * 12)
    quiet()
    after = spin.queryValue().currentValue
    codes = [r[2] | r[3] << 8 for r in requests("cmdSetOutputCode")]
    check(after == before + 12, "the edit went up twelve codes (%d to %d)" % (before, after))
    check(bool(codes) and codes[-1] == after and len(codes) < 12,
          "the DAC ended on the code shown, skipping steps (%s)" % codes)
    if check.failures:
        with open(os.environ["ZX_SIM_TRACE"]) as trace:
            print("fast hands: the module heard\n" + trace.read())
    return 1 if check.failures else 0


sys.exit(main())
