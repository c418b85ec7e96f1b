#!/usr/bin/env python3
"""A person's pointer and keyboard in a headless GNOME Shell, whose seat has no device: virtual
ones of mutter's remote desktop interface.

    mutter_input.py move X Y     moves the pointer to X,Y of the layout
    mutter_input.py click X Y    moves it there and clicks
    mutter_input.py escape       presses Esc

Run inside the session as its user.
"""
import sys
import time

from gi.repository import Gio, GLib

BUTTON_LEFT = 0x110  # BTN_LEFT
KEY_ESCAPE = 0xFF1B  # the keysym


def main():
    bus = Gio.bus_get_sync(Gio.BusType.SESSION)

    def call(path, interface, method, args=None, reply=None):
        return bus.call_sync("org.gnome.Mutter.RemoteDesktop", path, interface, method, args,
                             GLib.VariantType(reply) if reply else None, 0, 10000, None)

    session = call("/org/gnome/Mutter/RemoteDesktop", "org.gnome.Mutter.RemoteDesktop",
                   "CreateSession", reply="(o)").unpack()[0]
    interface = "org.gnome.Mutter.RemoteDesktop.Session"
    call(session, interface, "Start")
    if sys.argv[1] in ("move", "click"):
        # Relative moves only need no screen cast: first to the layout's top-left corner.
        for dx, dy in ((-10000.0, -10000.0), (float(sys.argv[2]), float(sys.argv[3]))):
            call(session, interface, "NotifyPointerMotionRelative", GLib.Variant("(dd)", (dx, dy)))
            time.sleep(0.3)
        for pressed in (True, False) if sys.argv[1] == "click" else ():
            call(session, interface, "NotifyPointerButton",
                 GLib.Variant("(ib)", (BUTTON_LEFT, pressed)))
            time.sleep(0.05)
    else:
        for pressed in (True, False):
            call(session, interface, "NotifyKeyboardKeysym",
                 GLib.Variant("(ub)", (KEY_ESCAPE, pressed)))
    # The session and its devices end with this process: the events go out before.
    time.sleep(0.5)


if __name__ == "__main__":
    main()
