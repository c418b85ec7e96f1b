#pragma once
// The user's message for a D-Bus call to the desktop that failed. A shortage says so; a service,
// object or method that is not there names what is missing; any other error is shown by its
// name and text, so that it can be looked up (not passed off as a shortage).
#include <QDBusError>
#include <QString>

#include "base/error.h"
#include "base/texts.h"

namespace kvr {

inline bool dbusNothingThere(const QString& errorName) {
    static const char* const kMissing[] = {
        "org.freedesktop.DBus.Error.ServiceUnknown", "org.freedesktop.DBus.Error.NameHasNoOwner",
        "org.freedesktop.DBus.Error.UnknownObject", "org.freedesktop.DBus.Error.UnknownInterface",
        "org.freedesktop.DBus.Error.UnknownMethod"};
    for (const char* name : kMissing)
        if (errorName == QLatin1String(name))
            return true;
    return false;
}

// `called`: the interface and method, as the message names them.
inline KvrError dbusFailure(const QString& called, const QDBusError& error) {
    const QString name = error.name();
    if (name == QLatin1String("org.freedesktop.DBus.Error.NoMemory") ||
        name == QLatin1String("org.freedesktop.DBus.Error.LimitsExceeded"))
        return KvrError(text::kNoResources, {});
    return KvrError(
        text::kDBusCallFailed,
        {called.toStdString(), name.isEmpty() ? std::string("(no error name)") : name.toStdString(),
         error.message().toStdString()});
}

}  // namespace kvr
