#include "platform/wayland/portal_source.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QEventLoop>
#include <QImage>
#include <QObject>
#include <QRandomGenerator>
#include <QTimer>
#include <QVariantMap>
#include <algorithm>
#include <cmath>
#include <map>
#include <string>

#include "base/error.h"
#include "base/peer_limits.h"
#include "base/texts.h"
#include "platform/wayland/dbus_failure.h"
#include "platform/wayland/portal_file.h"
#include "platform/wayland/qimage_picture.h"
#include "platform/wayland/wayland_outputs.h"

namespace kvr {

namespace {

const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");
const QString kScreenshotInterface = QStringLiteral("org.freedesktop.portal.Screenshot");
const QString kStoreService = QStringLiteral("org.freedesktop.impl.portal.PermissionStore");
const QString kStorePath = QStringLiteral("/org/freedesktop/impl/portal/PermissionStore");
// What forgets a stored refusal, on every desktop whose portal keeps one (gdbus comes with GLib).
constexpr char kAllowAgainCommand[] =
    "gdbus call --session --dest org.freedesktop.impl.portal.PermissionStore "
    "--object-path /org/freedesktop/impl/portal/PermissionStore "
    "--method org.freedesktop.impl.portal.PermissionStore.DeletePermission "
    "screenshot screenshot ''";

// Collects the Request's one Response and ends the wait for it.
class ResponseWaiter : public QObject {
    Q_OBJECT
public:
    explicit ResponseWaiter(QEventLoop& loop) : loop_(loop) {}
    std::optional<uint> code;
    QVariantMap results;

public slots:
    void onResponse(uint response, const QVariantMap& values) {
        if (code)
            return;
        code = response;
        results = values;
        loop_.quit();
    }

private:
    QEventLoop& loop_;
};

// The object path the portal will give the request: known before the call, so that the answer
// cannot come before anyone listens for it.
QString requestPath(const QDBusConnection& bus, const QString& token) {
    QString sender = bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return kPortalPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
}

bool listen(QDBusConnection& bus, const QString& path, ResponseWaiter* waiter) {
    return bus.connect(kPortalService, path, kRequestInterface, QStringLiteral("Response"), waiter,
                       SLOT(onResponse(uint, QVariantMap)));
}

void listenLate(QDBusConnection& bus, const QString& path, QObject* cleaner) {
    bus.connect(kPortalService, path, kRequestInterface, QStringLiteral("Response"), cleaner,
                SLOT(onResponse(uint, QVariantMap)));
}

void forget(QDBusConnection& bus, const QString& path, ResponseWaiter* waiter) {
    bus.disconnect(kPortalService, path, kRequestInterface, QStringLiteral("Response"), waiter,
                   SLOT(onResponse(uint, QVariantMap)));
}

// A picture the portal delivers after the wait was given up (GNOME keeps its question open even
// when the request is closed, and takes the picture if the user then allows it): removed when it
// comes, as long as the program runs, under the same rule as an answer in time.
class LateAnswerCleaner : public QObject {
    Q_OBJECT
public:
    LateAnswerCleaner(const timespec& began, QObject* parent) : QObject(parent), began_(began) {}

public slots:
    void onResponse(uint response, const QVariantMap& values) {
        // Nothing may leave a slot: the answer is the peer's, whatever it holds.
        try {
            if (response == 0) {
                if (auto path = portalPicturePath(values))
                    takePortalPicture(*path, began_);
            }
        } catch (const std::exception&) {
        }
        deleteLater();
    }

private:
    timespec began_;
};

enum class Permission { Granted, Refused, Undecided, Unknown };

// What the permission store holds for screenshots by programs outside a sandbox (app id ""):
// the portal asks the user while it holds nothing. Unknown where there is no store to ask.
Permission screenshotPermission(QDBusConnection& bus) {
    QDBusMessage call = QDBusMessage::createMethodCall(kStoreService, kStorePath, kStoreService,
                                                       QStringLiteral("Lookup"));
    call.setArguments({QStringLiteral("screenshot"), QStringLiteral("screenshot")});
    const QDBusMessage reply = bus.call(call, QDBus::Block, 5000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        // The store answers NotFound while nobody was ever asked.
        return reply.errorName() == QLatin1String("org.freedesktop.portal.Error.NotFound")
                   ? Permission::Undecided
                   : Permission::Unknown;
    }
    const QDBusArgument table = reply.arguments().constFirst().value<QDBusArgument>();
    Permission result = Permission::Undecided;
    table.beginMap();
    while (!table.atEnd()) {
        QString app;
        QStringList values;
        table.beginMapEntry();
        table >> app >> values;
        table.endMapEntry();
        if (app.isEmpty() && !values.isEmpty())
            result = values.constFirst() == QLatin1String("yes") ? Permission::Granted
                                                                 : Permission::Refused;
    }
    table.endMap();
    return result;
}

// A refusal, with the way back where the desktop keeps it: forgetting the stored answer makes
// the portal ask again at the next shot.
KvrError refusalError(QDBusConnection& bus) {
    if (screenshotPermission(bus) == Permission::Refused)
        return KvrError(text::kPortalDeniedAllowAgain, {kAllowAgainCommand});
    return KvrError(text::kPortalDenied, {});
}

// Asks the portal for a picture file and waits for its answer: of the whole desktop, or with
// `interactive` whatever the person picks in the desktop's own screenshot dialog.
std::string requestScreenshotUri(const PortalWaits& waits, bool interactive,
                                 const timespec& began) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        throw KvrError(text::kNoPortal, {});
    const Permission before = interactive ? Permission::Unknown : screenshotPermission(bus);
    const std::chrono::milliseconds limit = interactive                     ? waits.pick
                                            : before == Permission::Granted ? waits.answer
                                                                            : waits.question;
    const QString token = QStringLiteral("kvr%1").arg(QRandomGenerator::global()->generate64(), 16,
                                                      16, QLatin1Char('0'));
    QEventLoop loop;
    ResponseWaiter waiter(loop);
    const QString expected = requestPath(bus, token);
    QString handle = expected;
    listen(bus, expected, &waiter);

    QDBusMessage call = QDBusMessage::createMethodCall(
        kPortalService, kPortalPath, kScreenshotInterface, QStringLiteral("Screenshot"));
    call.setArguments({QString(), QVariantMap{{QStringLiteral("handle_token"), token},
                                              {QStringLiteral("interactive"), interactive},
                                              {QStringLiteral("modal"), false}}});
    // The call itself returns at once with the request's path; the answer comes as a signal.
    QDBusPendingCallWatcher pending(bus.asyncCall(call, int(limit.count())));
    std::optional<QDBusError> callError;
    QObject::connect(&pending, &QDBusPendingCallWatcher::finished, [&](QDBusPendingCallWatcher* w) {
        const QDBusPendingReply<QDBusObjectPath> reply = *w;
        if (reply.isError()) {
            callError = reply.error();
            loop.quit();
        } else if (reply.value().path() != expected) {
            // A portal older than handle_token: listen where it says (a race it leaves open).
            handle = reply.value().path();
            listen(bus, handle, &waiter);
        }
    });
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(limit);
    // Only the portal's answer and the timer end the wait: no click reaches the program's own
    // windows meanwhile (the user may be answering the desktop's question).
    if (!waiter.code && !callError)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    forget(bus, expected, &waiter);
    if (handle != expected)
        forget(bus, handle, &waiter);

    if (callError) {
        const QDBusError::ErrorType type = callError->type();
        if (dbusNothingThere(callError->name()))
            throw KvrError(text::kNoPortal, {});
        if (type == QDBusError::NoReply || type == QDBusError::Timeout) {
            const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(limit).count();
            throw KvrError(text::kPortalNoAnswer,
                           {std::to_string(std::max<long long>(1, seconds))});
        }
        throw dbusFailure(kScreenshotInterface + QLatin1String(".Screenshot"), *callError);
    }
    if (!waiter.code) {
        // Give the request up, and clean after it should the answer still come.
        if (QCoreApplication::instance())
            listenLate(bus, handle, new LateAnswerCleaner(began, QCoreApplication::instance()));
        // Still nothing stored: the question was open all along (GNOME 43's portal gives it up
        // after D-Bus's 25 s, and the request then never ends). The request stays open: the
        // portal holds a Close until the question is answered, and then drops the answer, so
        // the picture of a late "Allow" would stay on disk with no one told where.
        if (!interactive && before != Permission::Granted &&
            screenshotPermission(bus) == Permission::Undecided)
            throw KvrError(text::kPortalQuestionUnanswered, {});
        // Waited for, so that it is sent even when the program ends right after the message.
        bus.call(QDBusMessage::createMethodCall(kPortalService, handle, kRequestInterface,
                                                QStringLiteral("Close")),
                 QDBus::Block, 2000);
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(limit).count();
        throw KvrError(text::kPortalNoAnswer, {std::to_string(std::max<long long>(1, seconds))});
    }
    // GNOME 48's own screenshot overlay answers its cancel with 2 ("ended otherwise"), not 1:
    // from the person's own dialog either is a cancel.
    if (interactive && *waiter.code != 0)
        throw ShotCancelled();
    if (*waiter.code == 1)
        throw refusalError(bus);
    if (*waiter.code != 0) {
        // GNOME answers a "Deny", then and later, as a plain failure: the store tells them apart.
        const Permission after = screenshotPermission(bus);
        if (after == Permission::Refused)
            throw refusalError(bus);
        // Nothing stored although the portal had to ask: the question went unanswered (GNOME 48
        // gives up on it after D-Bus's 25 s but may leave it on screen, and refuses every new
        // question while it is there).
        if (before != Permission::Granted && before != Permission::Unknown &&
            after == Permission::Undecided)
            throw KvrError(text::kPortalQuestionLeftOpen, {});
        throw KvrError(text::kPortalFailed, {});
    }
    const QString uri = waiter.results.value(QStringLiteral("uri")).toString();
    if (uri.isEmpty())
        throw KvrError(text::kPortalFailed, {});
    return uri.toStdString();
}

// The picture file the portal answered with: read, and removed when it is this request's own.
QImage pictureOfAnswer(const std::string& uri, const timespec& began) {
    const std::optional<std::string> path = localPathOfUri(uri);
    if (!path)
        throw KvrError(text::kPortalFailed, {});
    std::optional<QImage> picture = takePortalPicture(*path, began);
    if (!picture)
        throw KvrError(text::kPortalFailed, {});
    return std::move(*picture);
}

// Whether any pixel of a picture is less than opaque (a picked window's shadow).
bool translucent(const QImage& argb) {
    for (int y = 0; y < argb.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x)
            if (qAlpha(row[x]) != 255)
                return true;
    }
    return false;
}

// Whether the bus has the screenshot portal at all (its interactive dialog comes with it).
bool portalOnBus() {
    QDBusMessage call = QDBusMessage::createMethodCall(
        kPortalService, kPortalPath, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    call.setArguments({kScreenshotInterface, QStringLiteral("version")});
    return QDBusConnection::sessionBus().call(call, QDBus::Block, 5000).type() ==
           QDBusMessage::ReplyMessage;
}

// GNOME's monitors as it lays them out, with its primary one, from mutter's display interface
// (open to every client). Nothing when mutter does not answer.
std::optional<std::vector<MonitorInfo>> mutterMonitors() {
    const QDBusMessage reply = QDBusConnection::sessionBus().call(
        QDBusMessage::createMethodCall(QStringLiteral("org.gnome.Mutter.DisplayConfig"),
                                       QStringLiteral("/org/gnome/Mutter/DisplayConfig"),
                                       QStringLiteral("org.gnome.Mutter.DisplayConfig"),
                                       QStringLiteral("GetCurrentState")),
        QDBus::Block, 5000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() < 4)
        return std::nullopt;
    const QList<QVariant> args = reply.arguments();

    // Physical monitors: the current mode's size of each connector.
    std::map<QString, std::pair<int, int>> modeSize;
    const QDBusArgument monitors = args[1].value<QDBusArgument>();
    monitors.beginArray();
    while (!monitors.atEnd()) {
        monitors.beginStructure();
        QString connector, vendor, product, serial;
        monitors.beginStructure();
        monitors >> connector >> vendor >> product >> serial;
        monitors.endStructure();
        monitors.beginArray();
        while (!monitors.atEnd()) {
            QString id;
            int width = 0, height = 0;
            double refresh = 0, preferredScale = 0;
            QList<double> scales;
            QVariantMap props;
            monitors.beginStructure();
            monitors >> id >> width >> height >> refresh >> preferredScale >> scales >> props;
            monitors.endStructure();
            if (props.value(QStringLiteral("is-current")).toBool())
                modeSize[connector] = {width, height};
        }
        monitors.endArray();
        QVariantMap monitorProps;
        monitors >> monitorProps;
        monitors.endStructure();
    }
    monitors.endArray();

    QVariantMap properties;
    args[3].value<QDBusArgument>() >> properties;
    // 1: logical layout (sizes are the mode divided by the scale); 2: physical.
    const uint layoutMode = properties.value(QStringLiteral("layout-mode"), 1u).toUInt();

    std::vector<MonitorInfo> result;
    const QDBusArgument logical = args[2].value<QDBusArgument>();
    logical.beginArray();
    while (!logical.atEnd()) {
        int x = 0, y = 0;
        double scale = 1;
        uint transform = 0;
        bool primary = false;
        logical.beginStructure();
        logical >> x >> y >> scale >> transform >> primary;
        QString first;
        logical.beginArray();
        while (!logical.atEnd()) {
            QString connector, vendor, product, serial;
            logical.beginStructure();
            logical >> connector >> vendor >> product >> serial;
            logical.endStructure();
            if (first.isEmpty())
                first = connector;
        }
        logical.endArray();
        QVariantMap props;
        logical >> props;
        logical.endStructure();
        const auto mode = modeSize.find(first);
        if (mode == modeSize.end())
            continue;
        double w = mode->second.first, h = mode->second.second;
        if (transform % 2 == 1)
            std::swap(w, h);  // turned by 90 or 270 degrees
        if (layoutMode == 1 && scale > 0) {
            w /= scale;
            h /= scale;
        }
        // Mutter's numbers, like any peer's, are checked before the arithmetic on them: a layout
        // with one out of range is not used.
        constexpr double kFar = double(kMaxPeerCoordinate);
        if (x < -kMaxPeerCoordinate || x > kMaxPeerCoordinate || y < -kMaxPeerCoordinate ||
            y > kMaxPeerCoordinate || !(w >= 1 && w <= kFar) || !(h >= 1 && h <= kFar))
            return std::nullopt;
        result.push_back({ScreenRect{x, y, int(std::lround(w)), int(std::lround(h))}, primary});
    }
    logical.endArray();
    if (result.empty())
        return std::nullopt;
    return result;
}

std::vector<MonitorInfo> desktopMonitors() {
    if (auto gnome = mutterMonitors())
        return *gnome;
    try {
        std::vector<MonitorInfo> result;
        for (const WaylandOutput& o : listWaylandOutputs())
            result.push_back({o.rect, o.primary});
        return result;
    } catch (const KvrError&) {
        return {};  // nobody to ask: the portal's picture is taken as the screen
    }
}

class PortalScreenSource final : public ScreenSource {
public:
    explicit PortalScreenSource(PortalWaits waits) : waits_(waits) {}
    const char* name() const override { return "portal"; }
    bool supports(ShotMode mode) const override {
        if (mode == ShotMode::AllScreen)
            return true;
        // The active window is the person's pick in the desktop's own dialog.
        if (!interactive_)
            interactive_ = portalOnBus();
        return *interactive_;
    }

    const char* refusal(CaptureChoice choice) const override {
        switch (choice) {
            case CaptureChoice::MonitorUnderPointer:
                return text::kPortalNoPointerMonitor;
            case CaptureChoice::NamedOutput:
                return text::kPortalNoNamedOutput;
            case CaptureChoice::Pointer:
                return text::kPortalNoPointer;
            case CaptureChoice::AllMonitors:
                break;
        }
        return nullptr;
    }

    void prepare(const ShotRequest& request) override {
        // The desktop's own dialog needs no leave beforehand.
        if (request.mode != ShotMode::AllScreen)
            return;
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected())
            return;  // the grab says so
        const Permission permission = screenshotPermission(bus);
        if (permission == Permission::Refused)
            throw refusalError(bus);
        // A portal that asks nothing of programs outside a sandbox stores nothing either: one
        // question per run at most.
        if (permission != Permission::Undecided || asked_)
            return;
        // The question comes with a picture, taken as it closes: removed unread.
        const timespec began = portalRequestBegins();
        if (const auto path = localPathOfUri(requestScreenshotUri(waits_, false, began)))
            takePortalPicture(*path, began);
        asked_ = true;
    }

    using ScreenSource::grab;
    Picture grab(const ShotRequest& request) override {
        for (CaptureChoice choice : choicesOf(request))
            if (const char* reason = refusal(choice))
                throw KvrError(reason, {});
        if (request.mode != ShotMode::AllScreen && !supports(request.mode))
            throw KvrError(text::kActiveWindowUnsupported, {});
        const bool picked = request.mode == ShotMode::ActiveWindow;
        const timespec began = portalRequestBegins();
        QImage image = pictureOfAnswer(requestScreenshotUri(waits_, picked, began), began);
        // GNOME's picture of a window holds its shadow as translucent pixels: kept, for the
        // files that keep them; the others take the window's opaque frame.
        if (picked && image.hasAlphaChannel()) {
            auto argb = std::make_shared<QImage>(image.convertToFormat(QImage::Format_ARGB32));
            if (translucent(*argb))
                return pictureOfRgb32(std::move(argb), true);
        }
        // A picked window is as the person chose it; all monitors is the portal's picture.
        if (!picked && request.monitor == MonitorChoice::Primary) {
            if (auto area = primaryPixelsIn(image.width(), image.height(), desktopMonitors())) {
                if (area->width != image.width() || area->height != image.height())
                    image = image.copy(area->x, area->y, area->width, area->height);
            }
        }
        return pictureOfRgb32(
            std::make_shared<QImage>(image.convertToFormat(QImage::Format_RGB32)));
    }

private:
    // The choices beyond the mode that a request makes.
    static std::vector<CaptureChoice> choicesOf(const ShotRequest& request) {
        std::vector<CaptureChoice> choices;
        if (request.pointer)
            choices.push_back(CaptureChoice::Pointer);
        if (request.mode == ShotMode::AllScreen) {
            if (!request.output.empty())
                choices.push_back(CaptureChoice::NamedOutput);
            else if (request.monitor == MonitorChoice::UnderPointer)
                choices.push_back(CaptureChoice::MonitorUnderPointer);
        }
        return choices;
    }

    PortalWaits waits_;
    bool asked_ = false;  // the portal's one question was asked in this run
    mutable std::optional<bool> interactive_;
};

}  // namespace

std::optional<ScreenRect> primaryPixelsIn(int pictureWidth, int pictureHeight,
                                          const std::vector<MonitorInfo>& monitors) {
    const ScreenRect whole{0, 0, pictureWidth, pictureHeight};
    if (pictureWidth <= 0 || pictureHeight <= 0)
        return std::nullopt;
    if (monitors.size() <= 1)
        return whole;
    int left = monitors[0].rect.x, top = monitors[0].rect.y;
    int right = left + monitors[0].rect.width, bottom = top + monitors[0].rect.height;
    for (const MonitorInfo& m : monitors) {
        left = std::min(left, m.rect.x);
        top = std::min(top, m.rect.y);
        right = std::max(right, m.rect.x + m.rect.width);
        bottom = std::max(bottom, m.rect.y + m.rect.height);
    }
    if (right <= left || bottom <= top)
        return std::nullopt;
    // The picture may be at a higher scale than the layout; one factor for both axes.
    const double factor = double(pictureWidth) / (right - left);
    if (std::abs(factor * (bottom - top) - pictureHeight) > factor + 1)
        return std::nullopt;
    const MonitorInfo* primary = &monitors.front();
    for (const MonitorInfo& m : monitors) {
        if (m.primary) {
            primary = &m;
            break;
        }
    }
    const auto edge = [&](int v, int origin) { return int(std::lround((v - origin) * factor)); };
    const int x0 = std::clamp(edge(primary->rect.x, left), 0, pictureWidth);
    const int y0 = std::clamp(edge(primary->rect.y, top), 0, pictureHeight);
    const int x1 = std::clamp(edge(primary->rect.x + primary->rect.width, left), 0, pictureWidth);
    const int y1 = std::clamp(edge(primary->rect.y + primary->rect.height, top), 0, pictureHeight);
    if (x1 <= x0 || y1 <= y0)
        return std::nullopt;
    return ScreenRect{x0, y0, x1 - x0, y1 - y0};
}

std::unique_ptr<ScreenSource> makePortalSource(PortalWaits waits) {
    return std::make_unique<PortalScreenSource>(waits);
}

}  // namespace kvr

#include "portal_source.moc"
