// What the program accepts from other processes, against peers that answer badly on purpose: a
// fake portal and a fake KWin on a private session bus (hostile_peer.py), and a fake sway IPC
// socket. Each table row is one bad (or, for contrast, good) answer and what the program must
// make of it: the user's files stay, sizes are checked before use, every wait ends.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstring>
#include <filesystem>
#include <memory>
#include <thread>

#include "base/error.h"
#include "base/texts.h"
#include "file_support.h"
#include "platform/wayland/kwin_source.h"
#include "platform/wayland/portal_source.h"
#include "platform/wayland/sway_ipc.h"
#include "polling.h"
#include "process.h"

namespace kvr {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using test::TempDir;

// A private bus with the fake peer on it (Debian's python, where python3-dbus is); this
// process's session bus from then on.
class HostilePeer : public ::testing::Test {
protected:
    // Once for the whole program: Qt keeps its application and its session bus to the end.
    static void SetUpTestSuite() {
        static const Bus bus;
        ASSERT_TRUE(bus.ready) << test::readText(bus.dir / "peer.log");
    }

    struct Bus {
        Bus() {
            static int argc = 1;
            static char name[] = "hostile_peer_tests";
            static char* argv[] = {name, nullptr};
            app_ = new QCoreApplication(argc, argv);
            test::writeText(
                dir / "bus.conf",
                "<busconfig><type>session</type><listen>unix:path=" + (dir / "bus").string() +
                    "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                    "<allow send_destination=\"*\" eavesdrop=\"true\"/>"
                    "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy>"
                    "</busconfig>\n");
            daemon = std::make_unique<test::Process>(test::Command(
                {"dbus-daemon", "--nofork", "--config-file=" + (dir / "bus.conf").string()}));
            const std::string address = "unix:path=" + (dir / "bus").string();
            if (!test::pollUntil(10s, [&] { return fs::exists(dir / "bus"); }))
                return;
            peer = std::make_unique<test::Process>(
                test::Command({"/usr/bin/python3", KVR_HOSTILE_PEER},
                              {"DBUS_SESSION_BUS_ADDRESS=" + address}, dir / "peer.log"));
            setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
            unsetenv("WAYLAND_DISPLAY");
            ready = test::pollUntil(20s, [] {
                return QDBusConnection::sessionBus().interface()->isServiceRegistered(
                    QStringLiteral("org.kvr.test.Peer"));
            });
        }
        TempDir dir{"kvr-peer"};
        std::unique_ptr<test::Process> daemon, peer;
        bool ready = false;
    };

    // What the fake answers from now on.
    static void setScenario(const QJsonObject& scenario) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.kvr.test.Peer"), QStringLiteral("/"),
            QStringLiteral("org.kvr.test.Peer"), QStringLiteral("Set"));
        call.setArguments({QString::fromUtf8(QJsonDocument(scenario).toJson())});
        ASSERT_EQ(QDBusConnection::sessionBus().call(call).type(), QDBusMessage::ReplyMessage);
    }

    // The message a call raised; "" when it raised nothing.
    template <class Call>
    static std::string raised(Call call) {
        try {
            call();
        } catch (const KvrError& e) {
            return e.what();
        }
        return "";
    }

    static inline QCoreApplication* app_ = nullptr;
};

// The portal, with a home of its own: its pictures folder, a documents folder, a temp folder.
class HostilePortal : public HostilePeer {
protected:
    void SetUp() override {
        home_ = std::make_unique<TempDir>("kvr-home");
        for (const char* folder : {"Pictures", "Documents", "tmp", "stage"})
            fs::create_directories(*home_ / folder);
        setenv("HOME", home_->path().c_str(), 1);
        setenv("TMPDIR", (*home_ / "tmp").c_str(), 1);
        unsetenv("XDG_CONFIG_HOME");
        QImage picture(6, 4, QImage::Format_RGB32);
        picture.fill(Qt::red);
        ASSERT_TRUE(picture.save(QString::fromStdString((*home_ / "stage/p.png").string())));
    }
    void TearDown() override {
        unsetenv("TMPDIR");
        home_.reset();
    }

    std::string path(const std::string& relative) const { return (*home_ / relative).string(); }
    std::string uri(const std::string& relative) const { return "file://" + path(relative); }
    // A picture (or a text) that was there before the shot.
    void old(const std::string& relative, bool picture = true) const {
        if (picture)
            fs::copy_file(path("stage/p.png"), path(relative));
        else
            test::writeText(path(relative), "my thesis");
    }
    // A file of 10 TiB that takes no room.
    void huge(const std::string& relative) const {
        test::writeText(path(relative), "");
        fs::resize_file(path(relative), uintmax_t(10) << 40);
    }
    QJsonObject answer(const std::string& relative, bool portalMakesIt) const {
        QJsonObject a{{"code", 0}, {"uri", QString::fromStdString(uri(relative))}};
        if (portalMakesIt)
            a["make"] = QJsonArray{QString::fromStdString(path("stage/p.png")),
                                   QString::fromStdString(path(relative))};
        return a;
    }

    // One shot through the portal source; "" when it gave a picture of the staged size.
    // A fake that failed to answer ends the shot well before the ten minutes GNOME's question has.
    static std::string shoot(PortalWaits waits = {20s, 20s}) {
        return raised([&] {
            const Picture p = makePortalSource(waits)->grab(ShotMode::AllScreen);
            if (p.width != 6 || p.height != 4)
                throw KvrError(text::kNoResources, {});
        });
    }

    std::unique_ptr<TempDir> home_;
};

TEST_F(HostilePortal, OnlyThePictureThePortalMadeForTheRequestIsRemoved) {
    const std::string failed = text::kPortalFailed;
    struct Row {
        const char* what;
        const char* file;
        bool before;       // the file was there before the shot (else the portal makes it)
        bool picture;      // a picture, or a text
        std::string shot;  // the shot's message, "" for a picture
        bool removed;
    } rows[] = {
        {"the portal's new picture", "Pictures/Screenshots/new.png", false, true, "", true},
        {"a new picture in the temp folder", "tmp/out.png", false, true, "", true},
        {"the user's text elsewhere", "Documents/thesis.txt", true, false, failed, false},
        {"the user's picture elsewhere", "Documents/important.png", true, true, "", false},
        {"the user's older picture in Pictures", "Pictures/old.png", true, true, "", false},
        {"a new picture outside the portals' places", "Documents/new.png", false, true, "", false},
        {"a new text in Pictures", "Pictures/new.txt", false, false, failed, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        if (r.before)
            old(r.file, r.picture);
        QJsonObject a = answer(r.file, !r.before);
        if (!r.picture && !r.before)
            a["make"] = QJsonArray{QString::fromStdString(path("stage/text")),
                                   QString::fromStdString(path(r.file))};
        test::writeText(path("stage/text"), "not a picture");
        setScenario({{"portal", a}});
        EXPECT_EQ(shoot(), r.shot);
        EXPECT_EQ(fs::exists(path(r.file)), !r.removed);
        fs::remove(path(r.file));
    }
}

TEST_F(HostilePortal, NonsenseAnswersFailWithoutHarm) {
    const std::string failed = text::kPortalFailed;
    // A sparse file far larger than any screen's picture: refused before it is read.
    huge("tmp/huge.png");
    old("Documents/important.png");
    const QJsonObject rows[] = {
        {{"code", 0}, {"uri", QString::fromStdString(uri("tmp/huge.png"))}},
        {{"code", 0}, {"uri", "http://example.invalid/p.png"}},
        {{"code", 0},
         {"uri", QString::fromStdString(uri("Documents/important.png"))},
         {"uri_type", "i"}},
        {{"code", 0}},
        {{"code", 2}, {"uri", QString::fromStdString(uri("Documents/important.png"))}},
    };
    for (const QJsonObject& row : rows) {
        SCOPED_TRACE(QJsonDocument(row).toJson().toStdString());
        setScenario({{"portal", row}});
        EXPECT_EQ(shoot(), failed);
    }
    EXPECT_TRUE(fs::exists(path("tmp/huge.png")));
    EXPECT_TRUE(fs::exists(path("Documents/important.png")));
}

TEST_F(HostilePortal, ALateAnswerFollowsTheSameRule) {
    const PortalWaits soon{200ms, 200ms};
    const std::string noAnswer = fillText(text::kPortalNoAnswer, {"1"});
    huge("tmp/huge.png");
    old("Documents/important.png");
    const struct {
        const char* file;
        bool portalMakesIt;
        bool removed;
    } rows[] = {
        {"Documents/important.png", false, false},
        {"tmp/huge.png", false, false},
        {"Pictures/Screenshots/late.png", true, true},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.file);
        QJsonObject a = answer(r.file, r.portalMakesIt);
        a["late"] = true;
        setScenario({{"portal", a}});
        const qsizetype waiting = app_->children().size();
        EXPECT_EQ(shoot(soon), noAnswer);
        // The fake answers when the request is closed; the program handles the answer as it
        // comes, and its handler then goes.
        ASSERT_TRUE(test::pollUntil(20s, [&] {
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return app_->children().size() == waiting;
        }));
        EXPECT_EQ(fs::exists(path(r.file)), !r.removed);
    }
}

// GNOME 48's ways of answering, and D-Bus errors of the call itself.
TEST_F(HostilePortal, GnomeAnswersAndCallErrorsGetTheirOwnMessages) {
    // A 10x8 window picture whose 2-pixel rim is a transparent shadow.
    QImage shadowed(10, 8, QImage::Format_ARGB32);
    shadowed.fill(Qt::transparent);
    for (int y = 2; y < 6; ++y)
        for (int x = 2; x < 8; ++x)
            shadowed.setPixel(x, y, qRgb(200, 0, 0));
    ASSERT_TRUE(shadowed.save(QString::fromStdString(path("stage/shadowed.png"))));
    QJsonObject window = answer("Pictures/Screenshots/w.png", true);
    window["make"] = QJsonArray{QString::fromStdString(path("stage/shadowed.png")),
                                QString::fromStdString(path("Pictures/Screenshots/w.png"))};
    const std::string refusedFirstLine = "画面の取得が許可されませんでした\r\n許可し直すには";
    const struct {
        const char* what;
        ShotMode mode;
        QJsonObject portal;
        const char* store;  // nullptr: no store answers
        std::string message;
        bool shadow = false;  // the picture: the window's, with its translucent shadow kept
    } rows[] = {
        {"GNOME 48 cancels its overlay with 2",
         ShotMode::ActiveWindow,
         {{"code", 2}},
         nullptr,
         text::kShotCancelled},
        {"a cancel with 1", ShotMode::ActiveWindow, {{"code", 1}}, nullptr, text::kShotCancelled},
        {"GNOME 48 gives up an unanswered question with 2",
         ShotMode::AllScreen,
         {{"code", 2}},
         "none",
         text::kPortalQuestionLeftOpen},
        {"a stored refusal", ShotMode::AllScreen, {{"code", 2}}, "no", refusedFirstLine},
        {"a failure though allowed",
         ShotMode::AllScreen,
         {{"code", 2}},
         "yes",
         text::kPortalFailed},
        {"GNOME 48's window with its shadow, kept translucent", ShotMode::ActiveWindow, window,
         nullptr, "", true},
        {"the call refused",
         ShotMode::AllScreen,
         {{"error", "org.freedesktop.DBus.Error.AccessDenied"}},
         "yes",
         fillText(text::kDBusCallFailed,
                  {"org.freedesktop.portal.Screenshot.Screenshot",
                   "org.freedesktop.DBus.Error.AccessDenied", "as the test says"})},
        {"the call without a portal behind it",
         ShotMode::AllScreen,
         {{"error", "org.freedesktop.DBus.Error.UnknownMethod"}},
         "yes",
         text::kNoPortal},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        QJsonObject scenario{{"portal", r.portal}};
        if (r.store)
            scenario["store"] = r.store;
        setScenario(scenario);
        const std::string message = raised([&] {
            const Picture p = makePortalSource({20s, 20s, 20s})->grab(r.mode);
            const QSize size = r.shadow ? QSize(10, 8) : QSize(6, 4);
            if (QSize(p.width, p.height) != size || (p.alphaMask != 0) != r.shadow ||
                (r.shadow && p.row(0)[3] != 0))
                throw KvrError(text::kNoResources, {});
        });
        EXPECT_EQ(message.substr(0, r.message.size()), r.message);
        EXPECT_EQ(message.empty(), r.message.empty()) << message;
    }
}

// KWin's ScreenShot2 and window list.
class HostileKWin : public HostilePeer {
protected:
    static void kwinAnswers(const std::string& meta, qint64 bytes, const std::string& info = "") {
        setScenario({{"kwin", QJsonObject{{"meta", QString::fromStdString(meta)},
                                          {"bytes", bytes},
                                          {"info", QString::fromStdString(info)}}}});
    }
};

TEST_F(HostileKWin, PictureNumbersAreCheckedBeforeUse) {
    const std::string refused = text::kNoResources;
    const std::string rgba64 = std::to_string(int(QImage::Format_RGBA64));
    const struct {
        std::string meta;
        qint64 bytes;
        std::string error;  // "" for a 4x4 picture
    } rows[] = {
        {"width=u:4;height=u:4;stride=u:16;format=u:4", 64, ""},
        // Far more than announced: only the announced bytes are read.
        {"width=u:4;height=u:4;stride=u:16;format=u:4", 64 << 20, ""},
        // A height whose product with the stride wraps in 64 bits.
        {"width=u:1024;height=t:18374704067563749121;stride=u:4097;format=u:4", 3841, refused},
        {"width=u:4;height=u:4;stride=u:15;format=u:4", 64, refused},
        {"width=u:4;height=u:4;stride=u:16;format=u:" + rgba64, 64, refused},
        {"width=u:4;height=u:4;stride=u:16;format=u:999", 64, refused},
        {"width=u:4;height=u:4;stride=u:16;format=s:4", 64, refused},
        {"width=i:-4;height=u:4;stride=u:16;format=u:4", 64, refused},
        {"width=d:nan;height=u:4;stride=u:16;format=u:4", 64, refused},
        {"width=u:40000;height=u:40000;stride=u:160000;format=u:4", 64, refused},
        {"width=u:4;height=u:4;format=u:4", 64, refused},
        // Fewer bytes than announced, then the pipe's end.
        {"width=u:4;height=u:4;stride=u:16;format=u:4", 10, refused},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.meta + " / " + std::to_string(r.bytes));
        kwinAnswers(r.meta, r.bytes);
        EXPECT_EQ(raised([] {
                      const Picture p = captureKWinOutput("Virtual-1");
                      if (p.width != 4 || p.height != 4)
                          throw KvrError(text::kNoResources, {});
                  }),
                  r.error);
    }
}

TEST_F(HostileKWin, EachCallErrorNamesWhatFailed) {
    const struct {
        const char* error;
        std::string message;
    } rows[] = {
        // KWin without compositing has no screenshot object.
        {"org.freedesktop.DBus.Error.UnknownObject",
         fillText(text::kKWinNoScreenShot,
                  {"/org/kde/KWin/ScreenShot2, org.kde.KWin.ScreenShot2"})},
        {"org.freedesktop.DBus.Error.ServiceUnknown",
         fillText(text::kKWinNoScreenShot,
                  {"/org/kde/KWin/ScreenShot2, org.kde.KWin.ScreenShot2"})},
        {"org.freedesktop.DBus.Error.NoMemory", text::kNoResources},
        {"org.kde.KWin.ScreenShot2.Error.Cancelled",
         fillText(text::kDBusCallFailed,
                  {"org.kde.KWin.ScreenShot2.CaptureScreen",
                   "org.kde.KWin.ScreenShot2.Error.Cancelled", "as the test says"})},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.error);
        setScenario({{"kwin", QJsonObject{{"error", r.error}}}});
        EXPECT_EQ(raised([] { captureKWinOutput("Virtual-1"); }), r.message);
    }
}

TEST_F(HostileKWin, WindowFramesOutOfRangeAreNoWindow) {
    const struct {
        const char* info;
        std::optional<ScreenRect> frame;
    } rows[] = {
        {"x=d:10.5;y=d:20;width=d:100;height=d:50", ScreenRect{10, 20, 101, 50}},
        {"x=i:-30;y=u:0;width=x:64;height=t:48", ScreenRect{-30, 0, 64, 48}},
        {"x=d:10;y=d:20;width=d:nan;height=d:50", std::nullopt},
        {"x=d:1e20;y=d:20;width=d:100;height=d:50", std::nullopt},
        {"x=d:10;y=d:20;width=d:100;height=d:inf", std::nullopt},
        {"x=d:10;y=d:-1e300;width=d:100;height=d:50", std::nullopt},
        {"x=d:10;y=d:20;width=d:-5;height=d:50", std::nullopt},
        {"x=d:10;y=d:20;width=s:100;height=d:50", std::nullopt},
        {"x=d:10;width=d:100;height=d:50", std::nullopt},
        {"x=d:10;y=d:20;width=d:0;height=d:0", std::nullopt},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.info);
        kwinAnswers("", 0, r.info);
        EXPECT_EQ(kwinWindowFrameOf("{0}"), r.frame);
    }
}

// Sway's IPC socket, served by the test: one connection, answered as the row says.
class FakeSway {
public:
    enum class Reply { Good, HugeSize, BadMagic, WrongType, ShortThenEnd, Trickle, Silent };

    FakeSway(const fs::path& socketPath, Reply reply, std::string payload)
        : reply_(reply), payload_(std::move(payload)) {
        listener_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strncpy(addr.sun_path, socketPath.c_str(), sizeof addr.sun_path - 1);
        fs::remove(socketPath);
        if (bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
            listen(listener_, 1) != 0)
            ADD_FAILURE() << "cannot listen on " << socketPath;
        thread_ = std::thread([this] { serve(); });
    }
    ~FakeSway() {
        thread_.join();
        ::close(listener_);
    }

private:
    void serve() {
        const int client = accept(listener_, nullptr, nullptr);
        if (client < 0)
            return;
        char request[14];
        if (read(client, request, sizeof request) == sizeof request) {
            uint32_t type = 0;
            std::memcpy(&type, request + 10, 4);
            uint32_t size = uint32_t(payload_.size());
            if (reply_ == Reply::HugeSize)
                size = 0xffffffffu;
            if (reply_ == Reply::WrongType)
                ++type;
            std::string header(reply_ == Reply::BadMagic ? "i3-ipx" : "i3-ipc");
            header.append(reinterpret_cast<const char*>(&size), 4);
            header.append(reinterpret_cast<const char*>(&type), 4);
            send(client, header.data(), header.size(), MSG_NOSIGNAL);
            if (reply_ == Reply::ShortThenEnd) {
                send(client, payload_.data(), payload_.size() / 2, MSG_NOSIGNAL);
            } else if (reply_ == Reply::Trickle) {
                // One byte now and then, until the client hangs up.
                for (char c : payload_) {
                    if (send(client, &c, 1, MSG_NOSIGNAL) != 1 || hungUp(client, 500))
                        break;
                }
            } else if (reply_ == Reply::Silent) {
                hungUp(client, -1);
            } else if (reply_ != Reply::HugeSize) {
                send(client, payload_.data(), payload_.size(), MSG_NOSIGNAL);
            }
        }
        ::close(client);
    }
    static bool hungUp(int fd, int ms) {
        pollfd p{fd, POLLIN, 0};
        return poll(&p, 1, ms) > 0;
    }

    Reply reply_;
    std::string payload_;
    int listener_ = -1;
    std::thread thread_;
};

TEST(HostileSway, EveryReplyIsBoundedInSizeAndTime) {
    using enum FakeSway::Reply;
    TempDir dir("kvr-sway");
    const std::string tree = R"({"focused":true,"type":"con",)"
                             R"("rect":{"x":0,"y":0,"width":10,"height":10}})";
    const struct {
        FakeSway::Reply reply;
        std::optional<std::string> result;
    } rows[] = {
        {Good, tree},
        {HugeSize, std::nullopt},
        {BadMagic, std::nullopt},
        {WrongType, std::nullopt},
        {ShortThenEnd, std::nullopt},
        {Trickle, std::nullopt},
        {Silent, std::nullopt},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(int(r.reply));
        FakeSway sway(dir / "sway.sock", r.reply, tree);
        EXPECT_EQ(sway::request((dir / "sway.sock").string(), 4), r.result);
    }
}

TEST(HostileSway, TreesAndOutputsOutOfRangeAreRefused) {
    const auto node = [](const std::string& rect, const std::string& deco) {
        return R"({"nodes":[{"focused":true,"type":"con","rect":)" + rect + R"(,"deco_rect":)" +
               deco + "}]}";
    };
    const std::string small = R"({"x":0,"y":0,"width":0,"height":0})";
    const struct {
        std::string tree;
        std::optional<ScreenRect> frame;
    } rows[] = {
        {node(R"({"x":10,"y":40,"width":100,"height":50})",
              R"({"x":0,"y":0,"width":100,"height":20})"),
         ScreenRect{10, 20, 100, 70}},
        {node(R"({"x":0,"y":30,"width":100,"height":2147483647})",
              R"({"x":0,"y":0,"width":100,"height":30})"),
         std::nullopt},
        {node(R"({"x":1e300,"y":0,"width":100,"height":50})", small), std::nullopt},
        {node(R"({"x":0.5,"y":0,"width":100,"height":50})", small), std::nullopt},
        {node(R"({"x":0,"y":0,"width":-100,"height":50})", small), std::nullopt},
        {node(R"({"x":"0","y":0,"width":100,"height":50})", small), std::nullopt},
        {std::string(100000, '[') + std::string(100000, ']'), std::nullopt},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.tree.substr(0, 120));
        EXPECT_EQ(sway::focusedWindowFrame(r.tree), r.frame);
    }
    const auto outputs = sway::parseOutputs(
        R"([{"active":true,"name":"A","rect":{"x":0,"y":0,"width":1920,"height":1080},"scale":2},)"
        R"({"active":true,"name":"B","rect":{"x":1e10,"y":0,"width":1920,"height":1080}},)"
        R"({"active":true,"name":"C","rect":{"x":0,"y":0,"width":1920,"height":1080},"scale":-1}])");
    ASSERT_EQ(outputs.size(), 2u);
    EXPECT_EQ(outputs[0].scale, 2.0);
    EXPECT_EQ(outputs[1].name, "C");
    EXPECT_EQ(outputs[1].scale, 1.0);
}

}  // namespace
}  // namespace kvr
