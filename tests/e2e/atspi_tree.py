#!/usr/bin/env python3
# Prints the accessibility tree of every application on the session's AT-SPI bus, as a screen
# reader sees it: one node a line, tab-separated: depth, role, name, text value, parent's name,
# states (focused, checked), the value interface's current number (empty when none).
import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402


def clean(text):
    return (text or "").replace("\t", " ").replace("\n", " ")


def walk(node, depth, parent_name):
    if node is None or depth > 30:
        return
    name = clean(node.get_name())
    states = node.get_state_set()
    flags = [n for n, s in (("focused", Atspi.StateType.FOCUSED),
                            ("checked", Atspi.StateType.CHECKED)) if states.contains(s)]
    number = ""
    text = ""
    try:
        value = node.get_value_iface()
        if value is not None:
            number = repr(value.get_current_value())
            text = clean(value.get_text()) if hasattr(value, "get_text") else ""
    except Exception:
        pass
    # One name for a role whatever AT-SPI's version calls it: 2.56 renamed "push button" to
    # "button" (Atspi.Role.PUSH_BUTTON is the same value in both).
    role = "push button" if node.get_role() == Atspi.Role.PUSH_BUTTON else node.get_role_name()
    print("\t".join([str(depth), role, name, text, parent_name,
                     ",".join(flags), number]))
    for i in range(node.get_child_count()):
        walk(node.get_child_at_index(i), depth + 1, name)


desktop = Atspi.get_desktop(0)
for i in range(desktop.get_child_count()):
    walk(desktop.get_child_at_index(i), 0, "")
