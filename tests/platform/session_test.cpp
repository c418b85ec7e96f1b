// Which session the program believes it runs in, and so which source of pixels it takes: a
// table of environments as desktops, terminals and test rigs set them.
#include "platform/session.h"

#include <gtest/gtest.h>

#include "base/error.h"
#include "platform/loader.h"

namespace kvr::platform {
namespace {

struct Row {
    const char* what;
    Environment env;
    Session session;
    SourceKind source;
};

const Row kRows[] = {
    {"nothing", {}, Session::None, SourceKind::Null},
    {"plain X11", {{"DISPLAY", ":0"}}, Session::X11, SourceKind::X11},
    {"X11 session",
     {{"XDG_SESSION_TYPE", "x11"}, {"DISPLAY", ":0"}},
     Session::X11,
     SourceKind::X11},
    {"GNOME on Wayland (Xwayland too)",
     {{"XDG_SESSION_TYPE", "wayland"},
      {"WAYLAND_DISPLAY", "wayland-0"},
      {"DISPLAY", ":0"},
      {"XDG_CURRENT_DESKTOP", "GNOME"}},
     Session::Gnome,
     SourceKind::Portal},
    {"Ubuntu's GNOME",
     {{"XDG_SESSION_TYPE", "wayland"},
      {"WAYLAND_DISPLAY", "wayland-0"},
      {"XDG_CURRENT_DESKTOP", "ubuntu:GNOME"}},
     Session::Gnome,
     SourceKind::Portal},
    {"Plasma",
     {{"XDG_SESSION_TYPE", "wayland"},
      {"WAYLAND_DISPLAY", "wayland-0"},
      {"DISPLAY", ":1"},
      {"XDG_CURRENT_DESKTOP", "KDE"}},
     Session::KWin,
     SourceKind::KWin},
    {"sway by its socket",
     {{"WAYLAND_DISPLAY", "wayland-1"}, {"SWAYSOCK", "/run/user/1000/sway-ipc.sock"}},
     Session::Wlroots,
     SourceKind::Wlroots},
    {"sway by name",
     {{"XDG_SESSION_TYPE", "wayland"},
      {"WAYLAND_DISPLAY", "wayland-1"},
      {"XDG_CURRENT_DESKTOP", "sway"}},
     Session::Wlroots,
     SourceKind::Wlroots},
    {"an unknown compositor",
     {{"XDG_SESSION_TYPE", "wayland"}, {"WAYLAND_DISPLAY", "wayland-0"}},
     Session::OtherWayland,
     SourceKind::Portal},
    {"Plasma on X11 keeps the X11 grab",
     {{"XDG_SESSION_TYPE", "x11"}, {"DISPLAY", ":0"}, {"XDG_CURRENT_DESKTOP", "KDE"}},
     Session::X11,
     SourceKind::X11},
    {"a Wayland session seen over ssh -X",
     {{"XDG_SESSION_TYPE", "wayland"}, {"DISPLAY", "localhost:10.0"}},
     Session::X11,
     SourceKind::X11},
    {"started from a console onto a display",
     {{"XDG_SESSION_TYPE", "tty"}, {"DISPLAY", ":0"}},
     Session::X11,
     SourceKind::X11},
    {"override",
     {{"DISPLAY", ":0"}, {"KVR_SCREEN_SOURCE", "null"}},
     Session::X11,
     SourceKind::Null},
    {"override in capitals",
     {{"WAYLAND_DISPLAY", "wayland-0"}, {"KVR_SCREEN_SOURCE", "X11"}},
     Session::OtherWayland,
     SourceKind::X11},
    {"an unknown override is ignored",
     {{"DISPLAY", ":0"}, {"KVR_SCREEN_SOURCE", "magic"}},
     Session::X11,
     SourceKind::X11},
};

TEST(Session, DetectedFromTheEnvironmentNotTheToolkit) {
    for (const Row& row : kRows) {
        EXPECT_EQ(detectSession(row.env), row.session) << row.what;
        EXPECT_EQ(chooseSourceKind(row.env), row.source) << row.what;
    }
}

TEST(Session, SourceNamesRoundTrip) {
    for (SourceKind kind : {SourceKind::X11, SourceKind::Wlroots, SourceKind::KWin,
                            SourceKind::Portal, SourceKind::Null})
        EXPECT_EQ(parseSourceKind(sourceKindName(kind)), kind);
    EXPECT_FALSE(parseSourceKind("").has_value());
}

TEST(NullSource, FailsWithTheResourceMessage) {
    const auto source = makeScreenSource(SourceKind::Null);
    EXPECT_FALSE(source->supports(ShotMode::AllScreen));
    try {
        source->grab(ShotMode::AllScreen);
        ADD_FAILURE() << "no error";
    } catch (const KvrError& e) {
        EXPECT_STREQ(e.what(), "システム リソースが足りません");
    }
}

}  // namespace
}  // namespace kvr::platform
