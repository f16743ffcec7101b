#!/usr/bin/python3
"""Reads and answers the launcher's dialogs through AT-SPI, for the window tests.

  atspi_dialog.py show PID TIMEOUT   prints the caption, texts and buttons of
                                    the first dialog of process PID, one
                                    "key: value" line each
  atspi_dialog.py press PID NAME TIMEOUT   presses its button NAME
Prints nothing and exits 1 when no dialog shows up in time. The accessibility
bus may be shared by every session of the user, hence the process id.
"""
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

DIALOG_ROLES = {Atspi.Role.DIALOG, Atspi.Role.ALERT}


def walk(node, depth=0):
    if node is None or depth > 12:
        return
    yield node
    for i in range(node.get_child_count()):
        yield from walk(node.get_child_at_index(i), depth + 1)


def find_dialog(pid):
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        if app is None or app.get_process_id() != pid:
            continue
        for j in range(app.get_child_count()):
            window = app.get_child_at_index(j)
            if window is not None and window.get_role() in DIALOG_ROLES:
                return window
    return None


def wait_dialog(pid, timeout):
    deadline = time.time() + timeout
    while time.time() < deadline:
        try:
            dialog = find_dialog(pid)
        except gi.repository.GLib.Error:
            dialog = None
        if dialog is not None:
            return dialog
        time.sleep(0.1)
    return None


def main():
    command = sys.argv[1]
    dialog = wait_dialog(int(sys.argv[2]), float(sys.argv[-1]))
    if dialog is None:
        return 1
    nodes = list(walk(dialog))
    if command == "show":
        print("caption: " + (dialog.get_name() or ""))
        for node in nodes:
            role = node.get_role()
            if role == Atspi.Role.LABEL:
                print("text: " + (node.get_name() or "").replace("\n", "\\n"))
            elif role == Atspi.Role.PUSH_BUTTON:
                print("button: " + (node.get_name() or ""))
        return 0
    if command == "press":
        for node in nodes:
            if node.get_role() == Atspi.Role.PUSH_BUTTON and node.get_name() == sys.argv[3]:
                node.get_action_iface().do_action(0)
                return 0
        return 1
    return 2


if __name__ == "__main__":
    sys.exit(main())
