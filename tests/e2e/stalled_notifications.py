#!/usr/bin/env python3
# A notification server that takes every call and never answers: it owns
# org.freedesktop.Notifications on the session bus, writes the name of each method called to
# the file given as its argument, and leaves the caller waiting.
import sys

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

INTERFACE = """
<node><interface name="org.freedesktop.Notifications">
 <method name="GetCapabilities"><arg type="as" direction="out"/></method>
 <method name="Notify">
  <arg type="s" direction="in"/><arg type="u" direction="in"/><arg type="s" direction="in"/>
  <arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="as" direction="in"/>
  <arg type="a{sv}" direction="in"/><arg type="i" direction="in"/>
  <arg type="u" direction="out"/></method>
</interface></node>"""

log = open(sys.argv[1], "a", buffering=1)
kept = []  # the unanswered calls, so they are never finished


def called(connection, sender, path, interface, method, parameters, invocation):
    log.write(method + "\n")
    kept.append(invocation)


def acquired(connection, name):
    node = Gio.DBusNodeInfo.new_for_xml(INTERFACE)
    connection.register_object("/org/freedesktop/Notifications", node.interfaces[0], called)


Gio.bus_own_name(Gio.BusType.SESSION, "org.freedesktop.Notifications",
                 Gio.BusNameOwnerFlags.NONE, acquired, None, None)
GLib.MainLoop().run()
