#!/usr/bin/python3
"""Reads and drives a dialog of a running GTK program through AT-SPI with real clicks (xdotool) at the places
the accessibility tree reports. Usage: atspi_driver.py PROGRAM|pid:N DIALOG_TITLE STEP...
steps: wait:SECONDS (first only; 15 s unless given), dump (one "control<TAB>role<TAB>text<TAB>states<TAB>x y w h"
line per control, line ends in texts as \\n, then "end"), click:NAME (a button or radio button), row:N (list row N).
Exits 0 when every step ran, 1 (with a reason on stderr) otherwise."""
import subprocess
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

STATES = ["sensitive", "checked", "selected", "showing", "modal"]


def find_dialog(program, title, timeout):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        desktop = Atspi.get_desktop(0)
        for i in range(desktop.get_child_count()):
            try:  # an application may leave the bus meanwhile
                app = desktop.get_child_at_index(i)
                if app is None or (str(app.get_process_id()) if program.startswith("pid:") else app.get_name()) \
                        != program.removeprefix("pid:"):
                    continue
                for j in range(app.get_child_count()):
                    window = app.get_child_at_index(j)
                    if window is not None and window.get_name() == title and \
                            window.get_state_set().contains(Atspi.StateType.SHOWING):
                        return window
            except gi.repository.GLib.Error:
                continue
        time.sleep(0.1)
    return None


def walk(node):
    yield node
    for i in range(node.get_child_count()):
        child = node.get_child_at_index(i)
        if child is not None:
            yield from walk(child)


def text_of(node):
    """A node's name, or its children's names (a list row holds a label)."""
    return node.get_name() or " ".join(text_of(node.get_child_at_index(i)) for i in range(node.get_child_count()))


def click(node):
    box = node.get_extents(Atspi.CoordType.SCREEN)
    subprocess.run(["xdotool", "mousemove", "--sync", str(box.x + box.width // 2), str(box.y + box.height // 2),
                    "click", "1"], check=True)
    time.sleep(0.3)  # the program handles the click before the next step looks


def main():
    program, title, steps = sys.argv[1], sys.argv[2], sys.argv[3:]
    timeout = float(steps.pop(0)[len("wait:"):]) if steps and steps[0].startswith("wait:") else 15.0
    dialog = find_dialog(program, title, timeout)
    if dialog is None:
        print(f"no dialog '{title}' of {program} appeared", file=sys.stderr)
        return 1
    for step in steps:
        nodes = list(walk(dialog))
        if step == "dump":
            for node in nodes:
                states, box = node.get_state_set(), node.get_extents(Atspi.CoordType.SCREEN)
                print("\t".join(["control", node.get_role_name(), text_of(node).replace("\n", "\\n"),
                                 ",".join(s for s in STATES if states.contains(getattr(Atspi.StateType, s.upper()))),
                                 f"{box.x} {box.y} {box.width} {box.height}"]))
            print("end", flush=True)
            continue
        kind, _, name = step.partition(":")
        if kind == "click":
            targets = [n for n in nodes if n.get_role_name() in ("push button", "radio button") and n.get_name() == name]
        elif kind == "row":
            targets = [n for n in nodes if n.get_role_name() == "list item"][int(name):int(name) + 1]
        else:
            print(f"unknown step {step}", file=sys.stderr)
            return 1
        if not targets:
            print(f"no target for {step}", file=sys.stderr)
            return 1
        click(targets[0])
    return 0


if __name__ == "__main__":
    sys.exit(main())
