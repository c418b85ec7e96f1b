#include "platform/wayland/kwin_source.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusUnixFileDescriptor>
#include <QImage>
#include <QVariantMap>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <thread>
#include <vector>

#include "base/error.h"
#include "base/peer_limits.h"
#include "base/screen.h"
#include "base/texts.h"
#include "platform/wayland/dbus_failure.h"
#include "platform/wayland/kwin_windows.h"
#include "platform/wayland/output_mosaic.h"
#include "platform/wayland/qimage_picture.h"
#include "platform/wayland/replies/kwin_reply.h"
#include "platform/wayland/wayland_outputs.h"

namespace kvr {

namespace {

const QString kService = QStringLiteral("org.kde.KWin");
const QString kPath = QStringLiteral("/org/kde/KWin/ScreenShot2");
const QString kInterface = QStringLiteral("org.kde.KWin.ScreenShot2");
constexpr int kCallTimeoutMs = 10000;
constexpr auto kPixelsTimeout = std::chrono::seconds(10);

// QImage formats KWin sends that are already 0xAARRGGBB words: RGB32, ARGB32, premultiplied.
bool isXrgbWord(int format) {
    return format == QImage::Format_RGB32 || format == QImage::Format_ARGB32 ||
           format == QImage::Format_ARGB32_Premultiplied;
}

std::string ownExecutable() {
    std::error_code ec;
    const auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string("/proc/self/exe") : path.string();
}

// Reads a pipe to its end, or until the size the reply announced has come, or until told to
// stop. KWin answers the call first and writes the pixels afterwards from another thread, and
// the D-Bus library may still hold a copy of the write end, so neither the reply nor EOF alone
// says the pixels are complete.
class PipeReader {
public:
    explicit PipeReader(int fd) : fd_(fd), thread_([this] { run(); }) {}
    ~PipeReader() {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        ::close(fd_);
    }
    void expect(size_t bytes) { expected_ = bytes; }
    void stop() { stop_ = true; }
    std::vector<uint8_t> take() {
        if (thread_.joinable())
            thread_.join();
        return std::move(data_);
    }

private:
    void run() {
        const auto deadline = std::chrono::steady_clock::now() + kPixelsTimeout +
                              std::chrono::milliseconds(kCallTimeoutMs);
        std::vector<uint8_t> chunk(1 << 20);
        while (!stop_ && std::chrono::steady_clock::now() < deadline) {
            // Never more than the largest picture a peer may send, announced or not.
            const size_t want = std::min<size_t>(expected_, kMaxPeerPictureBytes);
            if (data_.size() >= want)
                break;
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            const ssize_t n =
                ::read(fd_, chunk.data(), std::min(chunk.size(), want - data_.size()));
            if (n > 0) {
                data_.insert(data_.end(), chunk.data(), chunk.data() + n);
            } else if (n == 0 || errno != EINTR) {
                break;
            }
        }
    }

    int fd_;
    std::atomic<size_t> expected_{SIZE_MAX};
    std::atomic<bool> stop_{false};
    std::vector<uint8_t> data_;
    std::thread thread_;
};

struct Capture {
    QVariantMap meta;
    KWinPixelLayout layout;
    std::vector<uint8_t> pixels;
};

// Maps KWin's refusals to the user's messages.
[[noreturn]] void throwFor(const QDBusMessage& reply, const QString& method, ShotMode mode) {
    const QString name = reply.errorName();
    if (name.endsWith(QLatin1String(".NoAuthorized"))) {
        throw KvrError(text::kKWinNotAuthorized, {ownExecutable()});
    }
    if (mode == ShotMode::ActiveWindow && name.endsWith(QLatin1String(".InvalidWindow"))) {
        throw KvrError(text::kNoWindow, {});
    }
    // KWin without compositing (no GPU, effects off) has no screenshot object at all.
    if (dbusNothingThere(name))
        throw KvrError(text::kKWinNoScreenShot,
                       {(kPath + QLatin1String(", ") + kInterface).toStdString()});
    if (reply.type() == QDBusMessage::ReplyMessage)
        throw KvrError(text::kNoResources, {});  // an answer without its description
    throw dbusFailure(kInterface + QLatin1Char('.') + method, QDBusError(reply));
}

// Asks KWin for a picture; with wantPixels false only its description (the window's id) is
// kept, and KWin writes the pixels to /dev/null instead of through a pipe we would read.
Capture capture(const QString& method, const QVariantList& leadingArgs, const QVariantMap& options,
                ShotMode mode, bool wantPixels = true) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        throw KvrError(text::kNoResources, {});
    if (!wantPixels) {
        const int sink = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (sink < 0)
            throw KvrError(text::kNoResources, {});
        const QDBusUnixFileDescriptor writeEnd(sink);  // keeps its own copy
        ::close(sink);
        QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
        call.setArguments(QVariantList(leadingArgs) << options << QVariant::fromValue(writeEnd));
        const QDBusMessage reply = bus.call(call, QDBus::Block, kCallTimeoutMs);
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            throwFor(reply, method, mode);
        return {qdbus_cast<QVariantMap>(reply.arguments().constFirst()), {}, {}};
    }
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        throw KvrError(text::kNoResources, {});
    PipeReader reader(fds[0]);
    QDBusMessage reply;
    {
        // The message holds its own copy of the write end; ours goes now, the message's when the
        // call is done, so that KWin's is the last one and its close ends the stream.
        QDBusUnixFileDescriptor writeEnd(fds[1]);
        ::close(fds[1]);
        QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
        QVariantList args = leadingArgs;
        args << options << QVariant::fromValue(writeEnd);
        call.setArguments(args);
        reply = bus.call(call, QDBus::Block, kCallTimeoutMs);
    }
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        reader.stop();
        throwFor(reply, method, mode);
    }
    Capture result;
    result.meta = qdbus_cast<QVariantMap>(reply.arguments().constFirst());
    const std::optional<KWinPixelLayout> layout = kwinPixelLayout(result.meta);
    if (!layout) {
        reader.stop();
        throw KvrError(text::kNoResources, {});
    }
    result.layout = *layout;
    reader.expect(layout->bytes);
    result.pixels = reader.take();
    if (result.pixels.size() < layout->bytes)
        throw KvrError(text::kNoResources, {});
    // What came before the answer said how much (up to the cap) is not the picture's.
    result.pixels.resize(layout->bytes);
    result.pixels.shrink_to_fit();
    return result;
}

// Nothing at all came (not even opaque alpha): a compositor that drew nothing, never a picture.
bool allZero(const std::vector<uint8_t>& bytes) {
    for (uint8_t b : bytes) {
        if (b != 0)
            return false;
    }
    return true;
}

Picture toPicture(Capture&& cap) {
    // The layout was checked against the bytes read (capture()).
    const int width = cap.layout.width, height = cap.layout.height, format = cap.layout.format;
    const size_t stride = cap.layout.stride;
    if (allZero(cap.pixels))
        throw KvrError(text::kNoResources, {});
    if (isXrgbWord(format)) {
        // Already the writers' fastest layout: hand the pipe's bytes over as they are.
        auto buffer = std::make_shared<std::vector<uint8_t>>(std::move(cap.pixels));
        Picture picture;  // the Picture defaults are this 32-bit layout
        picture.width = width;
        picture.height = height;
        picture.stride = size_t(stride);
        picture.pixels = buffer->data();
        picture.owner = buffer;
        return picture;
    }
    const QImage wrapped(cap.pixels.data(), width, height, qsizetype(stride),
                         QImage::Format(format));
    return pictureOfRgb32(std::make_shared<QImage>(wrapped.convertToFormat(QImage::Format_RGB32)));
}

QVariantMap shotOptions(bool pointer = false) {
    // Native resolution: a scaled output gives its real pixels, not the logical size.
    return {{QStringLiteral("native-resolution"), true},
            {QStringLiteral("include-cursor"), pointer}};
}

// The frame (title bar included, shadow excluded) of a window, from KWin's window list.
std::optional<ScreenRect> windowFrame(const QString& uuid) {
    QDBusMessage call = QDBusMessage::createMethodCall(kService, QStringLiteral("/KWin"),
                                                       QStringLiteral("org.kde.KWin"),
                                                       QStringLiteral("getWindowInfo"));
    call.setArguments({uuid});
    const QDBusMessage reply =
        QDBusConnection::sessionBus().call(call, QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    return kwinWindowFrame(qdbus_cast<QVariantMap>(reply.arguments().constFirst()));
}

// KWin lays the whole desktop out at its largest scale, each output at its logical place.
struct Layout {
    std::vector<std::string> names;
    std::vector<ScreenRect> logical, places;
};
Layout desktopLayout() {
    Layout layout;
    try {
        double scale = 1;
        for (const WaylandOutput& o : listWaylandOutputs()) {
            layout.names.push_back(o.name);
            layout.logical.push_back(o.rect);
            scale = std::max(scale, o.scale);
        }
        layout.places = placesInMosaic(layout.logical, scale);
    } catch (const KvrError&) {
        // No outputs to tell of: no region rather than a wrong one.
        layout = Layout();
    }
    return layout;
}

class KWinScreenSource final : public ScreenSource {
public:
    const char* name() const override { return "kwin"; }
    bool supports(ShotMode) const override { return true; }

    std::vector<std::string> outputNames() override {
        std::vector<std::string> names;
        for (const WaylandOutput& o : listWaylandOutputs())
            names.push_back(o.name);
        return names;
    }

    std::vector<MonitorPlace> monitorPlaces() const override {
        const Layout layout = desktopLayout();
        std::vector<MonitorPlace> places;
        for (size_t i = 0; i < layout.names.size(); ++i)
            places.push_back({layout.names[i], layout.places[i]});
        return places;
    }

    std::vector<ScreenRect> windowFrames() override {
        const Layout layout = desktopLayout();
        return framesInMosaic(kwinWindowFrames(), layout.logical, layout.places);
    }

    using ScreenSource::grab;
    Picture grab(const ShotRequest& request) override {
        const ShotMode mode = request.mode;
        const std::vector<WaylandOutput> outputs = listWaylandOutputs();
        const WaylandOutput& screen = primaryOutput(outputs);
        if (mode == ShotMode::AllScreen) {
            const QVariantMap options = shotOptions(request.pointer);
            std::string name = screen.name;
            if (!request.output.empty()) {
                name = request.output;
                if (std::none_of(outputs.begin(), outputs.end(),
                                 [&](const WaylandOutput& o) { return o.name == name; }))
                    throw KvrError(text::kNoSuchMonitor, {name});
            } else if (request.monitor == MonitorChoice::UnderPointer) {
                // KWin's active screen: the one the pointer is on, by KWin's default.
                return toPicture(capture(QStringLiteral("CaptureActiveScreen"), {}, options, mode));
            } else if (request.monitor == MonitorChoice::All) {
                return toPicture(capture(QStringLiteral("CaptureWorkspace"), {}, options, mode));
            }
            return toPicture(capture(QStringLiteral("CaptureScreen"),
                                     {QString::fromStdString(name)}, options, mode));
        }
        // The window's own picture either lacks the title bar or carries the shadow, whose
        // width KWin does not tell; so ask which window is active (its small undecorated
        // picture goes to /dev/null), take its frame, and capture that area of the screen.
        const Capture active = capture(QStringLiteral("CaptureActiveWindow"), {},
                                       {{QStringLiteral("include-decoration"), false},
                                        {QStringLiteral("include-cursor"), false}},
                                       mode, false);
        const QString uuid = active.meta.value(QStringLiteral("windowId")).toString();
        const std::optional<ScreenRect> frame = windowFrame(uuid);
        if (!frame)
            throw KvrError(text::kNoWindow, {});
        const std::optional<ScreenRect> area = clipToScreen(*frame, screen.rect);
        if (!area)
            throw KvrError(text::kNoWindow, {});
        return toPicture(capture(QStringLiteral("CaptureArea"),
                                 {area->x, area->y, uint(area->width), uint(area->height)},
                                 shotOptions(request.pointer), mode));
    }
};

}  // namespace

Picture captureKWinOutput(const std::string& outputName) {
    return toPicture(capture(QStringLiteral("CaptureScreen"), {QString::fromStdString(outputName)},
                             shotOptions(), ShotMode::AllScreen));
}

std::optional<ScreenRect> kwinWindowFrameOf(const std::string& windowId) {
    return windowFrame(QString::fromStdString(windowId));
}

std::unique_ptr<ScreenSource> makeKWinSource() {
    return std::make_unique<KWinScreenSource>();
}

}  // namespace kvr
