// kvr_wl_mutter_click X Y: one left click at layout position X,Y in a GNOME session, through
// mutter's remote-desktop interface (the tests' way to answer GNOME's own questions; headless
// mutter has no input device). Run inside the session as its user.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QThread>
#include <cstdio>
#include <cstdlib>

namespace {

const QString kService = QStringLiteral("org.gnome.Mutter.RemoteDesktop");

QDBusMessage call(const QString& path, const QString& interface, const QString& method,
                  const QVariantList& args = {}) {
    QDBusMessage m = QDBusMessage::createMethodCall(kService, path, interface, method);
    m.setArguments(args);
    const QDBusMessage reply = QDBusConnection::sessionBus().call(m, QDBus::Block, 10000);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(method), qPrintable(reply.errorMessage()));
        std::exit(1);
    }
    return reply;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: kvr_wl_mutter_click X Y\n");
        return 2;
    }
    const double x = std::atof(argv[1]), y = std::atof(argv[2]);
    const QString session = call(QStringLiteral("/org/gnome/Mutter/RemoteDesktop"), kService,
                                 QStringLiteral("CreateSession"))
                                .arguments()
                                .value(0)
                                .value<QDBusObjectPath>()
                                .path();
    const QString iface = QStringLiteral("org.gnome.Mutter.RemoteDesktop.Session");
    call(session, iface, QStringLiteral("Start"));
    // Absolute motion needs a screen-cast stream; relative motion from the top-left corner,
    // where a large push leaves the pointer, is exact (no acceleration on injected motion).
    call(session, iface, QStringLiteral("NotifyPointerMotionRelative"), {-100000.0, -100000.0});
    call(session, iface, QStringLiteral("NotifyPointerMotionRelative"), {x, y});
    QThread::msleep(100);
    constexpr int kLeftButton = 0x110;  // BTN_LEFT
    call(session, iface, QStringLiteral("NotifyPointerButton"), {kLeftButton, true});
    QThread::msleep(60);
    call(session, iface, QStringLiteral("NotifyPointerButton"), {kLeftButton, false});
    QThread::msleep(100);
    call(session, iface, QStringLiteral("Stop"));
    return 0;
}
