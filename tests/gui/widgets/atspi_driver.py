#!/usr/bin/python3
"""Reads and drives a dialog of a running GTK program through AT-SPI, the way
a player's pointer would: real clicks (xdotool) at the places the
accessibility tree reports.

usage: atspi_driver.py PROGRAM DIALOG_TITLE STEP...   (an empty title: pointer steps only)
PROGRAM is the program's name, or pid:N for the process N (the accessibility
bus may be shared by every session of the user).
steps: wait:SECONDS    (first only) how long to wait for the dialog, 15 s unless given
       dump            print the dialog's controls, one a line (line ends in
                       texts as \n): "control<TAB>role<TAB>text<TAB>states<TAB>x y w h", then "end"
       click:NAME      click the centre of the button or radio button NAME
       row:N           click the centre of the list's row N
       point:X,Y       click the screen point (X, Y)
Exits 0 when every step ran, 1 (with a reason on stderr) otherwise."""
import subprocess
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

STATES = {
    "sensitive": Atspi.StateType.SENSITIVE,
    "checked": Atspi.StateType.CHECKED,
    "selected": Atspi.StateType.SELECTED,
    "showing": Atspi.StateType.SHOWING,
    "modal": Atspi.StateType.MODAL,
}


def is_program(app, program):
    if program.startswith("pid:"):
        return app.get_process_id() == int(program[4:])
    return app.get_name() == program


def find_dialog(program, title, timeout):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        desktop = Atspi.get_desktop(0)
        for i in range(desktop.get_child_count()):
            try:  # an application may leave the bus meanwhile
                app = desktop.get_child_at_index(i)
                if app is None or not is_program(app, program):
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


def walk(node, depth=0):
    yield node, depth
    for i in range(node.get_child_count()):
        child = node.get_child_at_index(i)
        if child is not None:
            yield from walk(child, depth + 1)


def text_of(node):
    """A node's name, or its children's names (a list row holds a label)."""
    name = node.get_name()
    if name:
        return name
    return " ".join(text_of(node.get_child_at_index(i)) for i in range(node.get_child_count()))


def describe(node):
    states = node.get_state_set()
    box = node.get_extents(Atspi.CoordType.SCREEN)
    return "\t".join(["control", node.get_role_name(), text_of(node).replace("\n", "\\n"),
                      ",".join(key for key, state in STATES.items() if states.contains(state)),
                      f"{box.x} {box.y} {box.width} {box.height}"])


def click(node):
    box = node.get_extents(Atspi.CoordType.SCREEN)
    click_at(box.x + box.width // 2, box.y + box.height // 2)


def click_at(x, y):
    subprocess.run(["xdotool", "mousemove", "--sync", str(x), str(y), "click", "1"], check=True)
    time.sleep(0.3)  # the program handles the click before the next step looks


def main():
    program, title, steps = sys.argv[1], sys.argv[2], sys.argv[3:]
    timeout = 15.0
    if steps and steps[0].startswith("wait:"):
        timeout = float(steps.pop(0)[len("wait:"):])
    # An empty title: only pointer steps, no dialog to wait for.
    dialog = find_dialog(program, title, timeout) if title else None
    if title and dialog is None:
        print(f"no dialog '{title}' of {program} appeared", file=sys.stderr)
        return 1
    for step in steps:
        nodes = [node for node, _ in walk(dialog)] if dialog else []
        if step == "dump":
            for node in nodes:
                print(describe(node))
            print("end", flush=True)
        elif step.startswith("click:"):
            name = step[len("click:"):]
            targets = [n for n in nodes if n.get_role_name() in ("push button", "radio button")
                       and n.get_name() == name]
            if not targets:
                print(f"no button '{name}'", file=sys.stderr)
                return 1
            click(targets[0])
        elif step.startswith("row:"):
            rows = [n for n in nodes if n.get_role_name() == "list item"]
            index = int(step[len("row:"):])
            if index >= len(rows):
                print(f"no row {index} of {len(rows)}", file=sys.stderr)
                return 1
            click(rows[index])
        elif step.startswith("point:"):
            x, y = step[len("point:"):].split(",")
            click_at(int(x), int(y))
        else:
            print(f"unknown step {step}", file=sys.stderr)
            return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
