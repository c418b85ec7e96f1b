#include "taskbar_progress.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QGuiApplication>
#include <QVariantMap>
#include <algorithm>

namespace kvr {
namespace {

// Sent without waiting: no one needs to listen, and no one is asked.
void sendUpdate(const QVariantMap& properties) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage update = QDBusMessage::createSignal(
        QStringLiteral("/org/example/kelvoro/LauncherEntry"),
        QStringLiteral("com.canonical.Unity.LauncherEntry"), QStringLiteral("Update"));
    // The entry is named by the desktop file the windows are tied to.
    update << QStringLiteral("application://%1.desktop").arg(QGuiApplication::desktopFileName())
           << properties;
    bus.send(update);
}

}  // namespace

void showTaskbarProgress(double fraction) {
    sendUpdate({{QStringLiteral("progress"), std::clamp(fraction, 0.0, 1.0)},
                {QStringLiteral("progress-visible"), true}});
}

void clearTaskbarProgress() {
    sendUpdate({{QStringLiteral("progress"), 0.0}, {QStringLiteral("progress-visible"), false}});
}

}  // namespace kvr
