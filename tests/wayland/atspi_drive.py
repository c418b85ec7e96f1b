#!/usr/bin/env python3
"""Drives the running program through the accessibility tree, as a screen reader would.

    atspi_drive.py wait APP TITLE     waits until APP shows a frame titled TITLE
    atspi_drive.py press APP BUTTON   waits until a program whose name holds APP shows a button
                                      named BUTTON (a desktop's own dialog), and presses it
    atspi_drive.py pick APP CHOICE    the person's pick in the desktop's screenshot dialog:
                                      "screen" or "window" (shared), or "cancel";
                                      exit 3: no window pick in this dialog (GNOME 43's)
    atspi_drive.py shot APP CHANGES [OTHER]
                                      presses "Shot", reads the frame's title at each of its
                                      CHANGES title changes (a window named OTHER, such as a
                                      selection of the program's, is not counted), and prints
                                      one JSON line:
                                      {"titles": [...], "showing": bool, "active": bool,
                                       "dialogs": [texts of message boxes that opened]}

Qt 6.4 names the object, not its new title, in a name-change event: the title is asked for
at once, and an answer that waits for a busy program reads what the title is by then.

Run inside the session as its user: the accessibility bus is the session's own.
"""
import json
import warnings
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, Gio, GLib  # noqa: E402

warnings.simplefilter("ignore", DeprecationWarning)

IDLE = "Kelvoro"
WINDOW_ROLES = (Atspi.Role.FRAME, Atspi.Role.FILLER, Atspi.Role.WINDOW)


def frames(app_name):
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        if app is None or app.get_name() != app_name:
            continue
        for j in range(app.get_child_count()):
            child = app.get_child_at_index(j)
            if child is not None:
                yield child


def is_top_level(node):
    # Qt gives a plain top-level widget the role of a client area (filler), not frame.
    parent = node.get_parent()
    return parent is not None and parent.get_role() == Atspi.Role.APPLICATION


def find_frame(app_name, title=None):
    for frame in frames(app_name):
        if frame.get_role() in WINDOW_ROLES and (title is None or frame.get_name() == title):
            return frame
    return None


def find_named(node, name, role, depth=0):
    if node is None or depth > 12:
        return None
    if node.get_name() == name and node.get_role() == role:
        return node
    for i in range(node.get_child_count()):
        found = find_named(node.get_child_at_index(i), name, role, depth + 1)
        if found is not None:
            return found
    return None


def texts_below(node, depth=0):
    out = []
    if node is None or depth > 12:
        return out
    if node.get_role() == Atspi.Role.LABEL and node.get_name():
        out.append(node.get_name())
    for i in range(node.get_child_count()):
        out.extend(texts_below(node.get_child_at_index(i), depth + 1))
    return out


def states(node):
    s = node.get_state_set()
    return {
        "showing": s.contains(Atspi.StateType.SHOWING),
        "active": s.contains(Atspi.StateType.ACTIVE),
    }


def wait(app_name, title, limit=30.0):
    end = time.monotonic() + limit
    while time.monotonic() < end:
        frame = find_frame(app_name, title)
        if frame is not None and states(frame)["showing"]:
            print("ready")
            return 0
        time.sleep(0.1)
    print("no frame %r of %r" % (title, app_name), file=sys.stderr)
    return 1


RETURN, ESCAPE, KEY_C, KEY_W = 0xFF0D, 0xFF1B, 0x63, 0x77


def type_keys(keysyms):
    """Types `keysyms` through Mutter's remote desktop, as a keyboard would."""
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)

    def call(path, iface, method, args=None):
        return bus.call_sync("org.gnome.Mutter.RemoteDesktop", path, iface, method, args, None,
                             Gio.DBusCallFlags.NONE, 10000, None)

    path = call("/org/gnome/Mutter/RemoteDesktop", "org.gnome.Mutter.RemoteDesktop",
                "CreateSession").unpack()[0]
    session = "org.gnome.Mutter.RemoteDesktop.Session"
    call(path, session, "Start")
    try:
        time.sleep(0.2)  # a focus just moved settles in the shell's own loop
        for keysym in keysyms:
            for pressed in (True, False):
                call(path, session, "NotifyKeyboardKeysym", GLib.Variant("(ub)", (keysym, pressed)))
    finally:
        call(path, session, "Stop")


def press_by_keyboard(button):
    """Focuses `button` and types Return at it: GNOME 48's own buttons offer no accessible
    action."""
    if not button.get_component_iface().grab_focus():
        return False
    type_keys([RETURN])
    return True


def do_press(button):
    action = button.get_action_iface()
    if action is None or action.get_n_actions() == 0:
        return press_by_keyboard(button)
    index = 0
    for i in range(action.get_n_actions()):
        if action.get_action_name(i).lower() in ("press", "click", "activate"):
            index = i
    return action.do_action(index)


def find_button(node, name, depth=0):
    """A push button showing `name`: GTK 4 names one by its mnemonic, then its label."""
    if node is None or depth > 12:
        return None
    if node.get_role() == Atspi.Role.PUSH_BUTTON:
        shown = (node.get_name() or "").replace("_", "")
        if shown == name or shown.endswith(" " + name):
            return node
    for i in range(node.get_child_count()):
        found = find_button(node.get_child_at_index(i), name, depth + 1)
        if found is not None:
            return found
    return None


def showing(node):
    return node.get_state_set().contains(Atspi.StateType.SHOWING)


def press(app_part, name, limit=30.0):
    end = time.monotonic() + limit
    while time.monotonic() < end:
        try:
            desktop = Atspi.get_desktop(0)
            apps = [desktop.get_child_at_index(i) for i in range(desktop.get_child_count())]
            named = [a for a in apps if a is not None and app_part in (a.get_name() or "")]
            # GNOME 48 asks its questions from the shell itself, not from its portal. The shell
            # also holds hidden buttons of its own (its screenshot tool): only one on screen.
            shell = [a for a in apps if a is not None and a.get_name() == "gnome-shell"]
            for app, on_screen in [(a, False) for a in named] + [(a, True) for a in shell]:
                button = find_button(app, name)
                if button is not None and (not on_screen or showing(button)):
                    do_press(button)
                    print("pressed")
                    return 0
        except GLib.Error:
            pass  # the dialog changed under the walk: look again
        time.sleep(0.2)
    desktop = Atspi.get_desktop(0)
    apps = [desktop.get_child_at_index(i) for i in range(desktop.get_child_count())]
    print("no button %r in %r; programs: %s" % (name, app_part, [a.get_name() for a in apps if a]),
          file=sys.stderr)
    return 1


def shell_screenshot_tool():
    """Whether GNOME's own screenshot tool is open: its "Screen" choice is on screen."""
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        if app is not None and app.get_name() == "gnome-shell":
            label = find_named(app, "Screen", Atspi.Role.LABEL)
            if label is not None and showing(label):
                return True
    return False


def pick(app_part, choice, limit=30.0):
    """The person's pick of what to capture, in whichever dialog the desktop shows: the
    portal's own (GNOME 43) or the shell's screenshot tool (GNOME 48). `choice` is "screen"
    (the whole screen, shared), "window" (the window in front, shared) or "cancel"."""
    end = time.monotonic() + limit
    while time.monotonic() < end:
        try:
            desktop = Atspi.get_desktop(0)
            apps = [desktop.get_child_at_index(i) for i in range(desktop.get_child_count())]
            if any(a is not None and app_part in (a.get_name() or "") and
                   find_button(a, "Cancel") is not None for a in apps):
                if choice == "cancel":
                    return press(app_part, "Cancel")
                if choice == "window":
                    # Its "Grab the current window" takes no tick through the accessibility
                    # tree (nor a Space at it): the caller skips.
                    print("the portal's own dialog: no window pick", file=sys.stderr)
                    return 3
                for name in ("Options…", "Take Screenshot"):
                    if press(app_part, name) != 0:
                        return 1
                time.sleep(2)  # the dialog hides for the picture, and comes back
                return press(app_part, "Share")
            if shell_screenshot_tool():
                # The tool's own keys: C the screen, W the window in front; Return takes it.
                keys = {"cancel": [ESCAPE], "screen": [KEY_C, RETURN], "window": [KEY_W, RETURN]}
                type_keys(keys[choice])
                print("picked")
                return 0
        except GLib.Error:
            pass  # the dialog changed under the walk: look again
        time.sleep(0.2)
    print("no dialog to pick in", file=sys.stderr)
    return 1


SHOT_NAMES = ("セルフタイマーの後に撮影", "Take the shot after the self-timer")


def shot(app_name, changes, other=None, limit=60.0):
    frame = find_frame(app_name, IDLE)
    if frame is None:
        print("no idle frame", file=sys.stderr)
        return 1
    # "Shot" is named for what it does, in the program's language.
    button = None
    for name in SHOT_NAMES:
        button = button or find_named(frame, name, Atspi.Role.PUSH_BUTTON)
    if button is None:
        print("no Shot button", file=sys.stderr)
        return 1
    pid = frame.get_process_id()
    titles = []
    dialogs = []
    loop = GLib.MainLoop()

    def on_event(event):
        source = event.source
        try:
            if source is None or source.get_process_id() != pid:
                return
            role = source.get_role()
        except GLib.Error:
            return
        if event.type.startswith("object:property-change:accessible-name"):
            if role in WINDOW_ROLES and is_top_level(source):
                name = source.get_name()
                if other is not None and name == other:
                    return
                titles.append(name)
                if len(titles) == changes:
                    # Back to idle; the window's road settles a moment later.
                    GLib.timeout_add(1500, loop.quit)
        elif event.type.startswith("window:activate") or event.type.startswith("window:create"):
            if role in (Atspi.Role.DIALOG, Atspi.Role.ALERT):
                dialogs.append(" ".join(texts_below(source)))

    listener = Atspi.EventListener.new(on_event)
    for kind in ("object:property-change:accessible-name", "window:activate", "window:create"):
        listener.register(kind)
    GLib.timeout_add(int(limit * 1000), loop.quit)
    GLib.idle_add(lambda: do_press(button) and False)
    loop.run()
    for kind in ("object:property-change:accessible-name", "window:activate", "window:create"):
        listener.deregister(kind)
    # The window after the shot: the frame again (it may be a new one once shown afresh).
    after = {"showing": False, "active": False}
    end = time.monotonic() + 5
    while time.monotonic() < end:
        now = find_frame(app_name, IDLE)
        if now is not None:
            after = states(now)
            if after["showing"] and after["active"]:
                break
        time.sleep(0.1)
    print(json.dumps({"titles": titles, "dialogs": dialogs, **after}, ensure_ascii=False))
    return 0


def main(argv):
    if len(argv) >= 4 and argv[1] == "wait":
        return wait(argv[2], argv[3])
    if len(argv) >= 4 and argv[1] == "press":
        return press(argv[2], argv[3])
    if len(argv) >= 4 and argv[1] == "pick" and argv[3] in ("screen", "window", "cancel"):
        return pick(argv[2], argv[3])
    if len(argv) >= 4 and argv[1] == "shot":
        return shot(argv[2], int(argv[3]), argv[4] if len(argv) >= 5 else None)
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
