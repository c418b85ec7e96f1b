#include "notify.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QFileInfo>
#include <QHash>
#include <QUrl>

#include "base/texts.h"
#include "translate.h"

namespace kvr {
namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kOpenAction = QStringLiteral("open-folder");
// The action a click on the notification itself invokes.
const QString kDefaultAction = QStringLiteral("default");
// A timeout for the bus, not for the user: a server that never answers costs one pending call.
constexpr int kCallTimeoutMs = 10000;

// Remembers which notification shows which folder, for the server's "action invoked" signal.
class Notifier : public QObject {
    Q_OBJECT
public:
    static Notifier& instance() {
        static Notifier* notifier = new Notifier;  // lives as long as the program
        return *notifier;
    }

    void announce(const QString& path) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected())
            return;
        listen(bus);
        // What the server can show decides the body's escaping and whether the button is offered.
        QDBusMessage ask =
            QDBusMessage::createMethodCall(kService, kPath, kInterface, "GetCapabilities");
        // No activation: a shot never starts a server, and a missing one answers at once.
        ask.setAutoStartService(false);
        auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(ask, kCallTimeoutMs), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this,
                [this, path](QDBusPendingCallWatcher* call) {
                    call->deleteLater();
                    const QDBusPendingReply<QStringList> reply = *call;
                    if (!reply.isError())
                        send(path, reply.value());
                });
    }

private slots:
    void actionInvoked(uint id, const QString& action) {
        const auto it = folders_.find(id);
        if (it == folders_.end() || (action != kOpenAction && action != kDefaultAction))
            return;
        QDesktopServices::openUrl(QUrl::fromLocalFile(it.value()));
    }

    void closed(uint id, uint) { folders_.remove(id); }

private:
    void listen(QDBusConnection& bus) {
        if (listening_)
            return;
        listening_ = true;
        bus.connect(kService, kPath, kInterface, "ActionInvoked", this,
                    SLOT(actionInvoked(uint, QString)));
        bus.connect(kService, kPath, kInterface, "NotificationClosed", this,
                    SLOT(closed(uint, uint)));
    }

    void send(const QString& path, const QStringList& capabilities) {
        const QFileInfo file(path);
        const QString folder = file.absolutePath();
        QString name = file.fileName();
        QString where = folder;
        // File and folder names are the user's: never taken as markup.
        if (capabilities.contains(QStringLiteral("body-markup"))) {
            name = name.toHtmlEscaped();
            where = where.toHtmlEscaped();
        }
        QStringList actions;
        // A button, and the notification itself when clicked: both open the folder.
        if (capabilities.contains(QStringLiteral("actions")))
            actions << kDefaultAction << translated(text::kOpenFolder) << kOpenAction
                    << translated(text::kOpenFolder);
        QVariantMap hints;
        hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("org.example.kelvoro"));
        hints.insert(QStringLiteral("category"), QStringLiteral("transfer.complete"));
        QDBusMessage notify = QDBusMessage::createMethodCall(kService, kPath, kInterface, "Notify");
        notify.setAutoStartService(false);
        notify << QString::fromUtf8(text::kTitle) << uint(0)
               << QStringLiteral("org.example.kelvoro") << translated(text::kSavedSummary)
               << fillTranslated(text::kSavedBody, {name, where}) << actions << hints << int(-1);
        QDBusConnection bus = QDBusConnection::sessionBus();
        auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(notify, kCallTimeoutMs), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this,
                [this, folder](QDBusPendingCallWatcher* call) {
                    call->deleteLater();
                    const QDBusPendingReply<uint> reply = *call;
                    if (!reply.isError())
                        folders_.insert(reply.value(), folder);
                });
    }

    bool listening_ = false;
    QHash<uint, QString> folders_;
};

}  // namespace

void announceShot(const QString& path) {
    Notifier::instance().announce(path);
}

}  // namespace kvr

#include "notify.moc"
