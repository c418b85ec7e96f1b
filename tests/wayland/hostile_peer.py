#!/usr/bin/env python3
"""A buggy or hostile peer on a private session bus: it plays the screenshot portal and KWin
(ScreenShot2 and its window list) and answers as the test sets it, through org.kvr.test.Peer's
Set(json). Only for the tests of what the program accepts from other processes.

Scenario keys (all optional):
  portal: {"code": 0, "uri": "file:///...", "uri_type": "s" or "i",
           "make": [source, target]  -- copy a picture to target first, as the portal would,
           "late": true              -- answer only once the program closes the request,
           "error": "org.x.Name"     -- the call itself fails with that D-Bus error}
  store:  "yes", "no" or "none" (nothing stored yet); without it the store fails every lookup
  kwin:   {"meta": "width=u:4;height=u:4;...", "bytes": 64, "fill": 255,
           "info": "x=d:10;y=d:nan;...", "error": "org.x.Name"}
Typed values are "<D-Bus type>:<value>" with u, t, i, x, d (nan and inf allowed) or s.
"""
import json
import os
import shutil
import threading
import time

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

PORTAL = "org.freedesktop.portal.Desktop"
PORTAL_PATH = "/org/freedesktop/portal/desktop"
REQUEST = "org.freedesktop.portal.Request"

scenario = {}


def typed(text):
    kind, _, value = text.partition(":")
    makers = {"u": dbus.UInt32, "t": dbus.UInt64, "i": dbus.Int32, "x": dbus.Int64}
    if kind in makers:
        return makers[kind](int(value))
    if kind == "d":
        return dbus.Double(float(value))
    return dbus.String(value)


def typed_map(text):
    result = dbus.Dictionary({}, signature="sv")
    for item in filter(None, (text or "").split(";")):
        key, _, value = item.partition("=")
        result[key] = typed(value)
    return result


def after_coarse_tick():
    # The kernel may stamp a file from its coarse clock, a tick behind: like a real portal, which
    # takes far longer than that to make its picture, make it only once that clock has passed
    # the present moment.
    coarse = getattr(time, "CLOCK_REALTIME_COARSE", 5)  # Linux's number, where Python lacks it
    start = time.clock_gettime(time.CLOCK_REALTIME)
    while time.clock_gettime(coarse) <= start:
        time.sleep(0.001)


class Request(dbus.service.Object):
    def __init__(self, bus, path, answer):
        super().__init__(bus, path)
        self.answer = answer

    @dbus.service.signal(REQUEST, signature="ua{sv}")
    def Response(self, code, results):
        pass

    @dbus.service.method(REQUEST, in_signature="", out_signature="")
    def Close(self):
        if self.answer.get("late"):
            self.respond()

    def respond(self):
        a = self.answer
        if "make" in a:
            after_coarse_tick()
            source, target = a["make"]
            os.makedirs(os.path.dirname(target), exist_ok=True)
            shutil.copyfile(source, target)
        results = dbus.Dictionary({}, signature="sv")
        if "uri" in a:
            uri = a["uri"]
            results["uri"] = dbus.Int32(len(uri)) if a.get("uri_type") == "i" else uri
        self.Response(dbus.UInt32(a.get("code", 0)), results)
        self.remove_from_connection()
        return False


def fail(part):
    if "error" in part:
        raise dbus.exceptions.DBusException("as the test says", name=part["error"])


class Portal(dbus.service.Object):
    @dbus.service.method("org.freedesktop.DBus.Properties", in_signature="ss",
                         out_signature="v")
    def Get(self, interface, name):
        return dbus.UInt32(3)

    @dbus.service.method("org.freedesktop.portal.Screenshot", in_signature="sa{sv}",
                         out_signature="o", sender_keyword="sender")
    def Screenshot(self, parent, options, sender):
        fail(scenario.get("portal", {}))
        token = str(options.get("handle_token", "t"))
        path = "%s/request/%s/%s" % (PORTAL_PATH, sender[1:].replace(".", "_"), token)
        request = Request(self.connection, path, dict(scenario.get("portal", {})))
        if not request.answer.get("late"):
            GLib.idle_add(request.respond)
        return dbus.ObjectPath(path)


def write_pixels(fd, count, fill):
    # KWin writes after it answered, from another thread; a reader that stops early ends it.
    try:
        chunk = bytes([fill]) * min(count, 1 << 20)
        while count > 0:
            count -= os.write(fd, chunk[:count])
    except OSError:
        pass
    finally:
        os.close(fd)


class ScreenShot2(dbus.service.Object):
    def answer(self, pipe):
        k = scenario.get("kwin", {})
        fd = pipe.take()
        threading.Thread(target=write_pixels, args=(fd, k.get("bytes", 0), k.get("fill", 255)),
                         daemon=True).start()
        return typed_map(k.get("meta"))

    @dbus.service.method("org.kde.KWin.ScreenShot2", in_signature="sa{sv}h",
                         out_signature="a{sv}")
    def CaptureScreen(self, name, options, pipe):
        fail(scenario.get("kwin", {}))
        return self.answer(pipe)


class PermissionStore(dbus.service.Object):
    @dbus.service.method("org.freedesktop.impl.portal.PermissionStore", in_signature="ss",
                         out_signature="a{sas}v")
    def Lookup(self, table, id):
        stored = scenario.get("store")
        if stored is None:
            raise dbus.exceptions.DBusException("no store", name="org.freedesktop.DBus.Error.Failed")
        if stored == "none":
            raise dbus.exceptions.DBusException("nothing stored",
                                                name="org.freedesktop.portal.Error.NotFound")
        return (dbus.Dictionary({"": [stored]}, signature="sas"), dbus.Byte(0))


class KWin(dbus.service.Object):
    @dbus.service.method("org.kde.KWin", in_signature="s", out_signature="a{sv}")
    def getWindowInfo(self, uuid):
        return typed_map(scenario.get("kwin", {}).get("info"))


class Peer(dbus.service.Object):
    @dbus.service.method("org.kvr.test.Peer", in_signature="s", out_signature="")
    def Set(self, text):
        scenario.clear()
        scenario.update(json.loads(text))


def main():
    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    keep = [Portal(bus, PORTAL_PATH), ScreenShot2(bus, "/org/kde/KWin/ScreenShot2"),
            KWin(bus, "/KWin"), Peer(bus, "/"),
            PermissionStore(bus, "/org/freedesktop/impl/portal/PermissionStore")]
    names = [dbus.service.BusName(n, bus)
             for n in (PORTAL, "org.kde.KWin", "org.freedesktop.impl.portal.PermissionStore")]
    # Claimed last: the test waits for this name, and by then the others are there too.
    names.append(dbus.service.BusName("org.kvr.test.Peer", bus))
    GLib.MainLoop().run()
    del keep, names


if __name__ == "__main__":
    main()
