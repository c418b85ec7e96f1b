// The built program driven by the keyboard alone (xdotool keys on its private X server), read as
// a screen reader reads it (AT-SPI on the test's own session bus), and heard from after a shot
// (a real notification server, dunst, on that bus).
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "e2e_support.h"
#include "polling.h"

namespace {

using namespace kvr::e2e;

// The program on a private bus with the accessibility bus running, so its tree can be read.
class Accessible : public ::testing::Test {
protected:
    void SetUp() override {
        bus_ = std::make_unique<SessionBus>(program_.root() / "bus");
        ASSERT_TRUE(bus_->startAccessibility(program_.display()));
    }
    bool start(std::vector<std::string> env = {}) {
        env.push_back("DBUS_SESSION_BUS_ADDRESS=" + bus_->address());
        env.push_back("QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1");
        return program_.start(env);
    }
    std::vector<AccessibleNode> tree() const { return accessibleTree(*bus_); }
    // The self-timer's value in seconds, as a screen reader reads it; -1 without the control.
    double timerValue() const {
        const auto nodes = tree();
        const AccessibleNode* timer = findNode(nodes, "spin button", "Self Timer");
        return timer && timer->hasNumber ? timer->number : -1;
    }
    // The name of the control that has the keyboard focus. A tab bar's current tab (and the tab
    // widget around it) stay "focused" beside the control inside the page, as does a closed
    // combo box's current item from Qt 6.8 on; they count only when nothing else is.
    std::string focusedName() const {
        std::string control, tab;
        for (const AccessibleNode& node : tree()) {
            if (!node.focused)
                continue;
            if (node.role == "page tab" || node.role == "page tab list" || node.role == "filler" ||
                node.role == "list item")
                tab = node.name;
            else
                control = node.name;
        }
        return control.empty() ? tab : control;
    }
    // Waits until the focus is on the named control (the keys reach the program in order).
    bool focusComesTo(const std::string& name, int attempts = 50) const {
        for (int attempt = 0; attempt < attempts; ++attempt) {
            if (focusedName() == name)
                return true;
            std::this_thread::sleep_for(100ms);
        }
        return false;
    }

    // Tab until the focus is on the named control; false when a round of stops never gets there.
    bool tabTo(const std::string& name) const {
        for (int tabs = 0; tabs < 12; ++tabs) {
            program_.keys({"Tab"});
            if (focusComesTo(name, 10))
                return true;
        }
        return false;
    }

    Program program_;
    std::unique_ptr<SessionBus> bus_;
};

TEST_F(Accessible, EveryControlHasANameARoleAndTheTimerAValue) {
    ASSERT_TRUE(start()) << program_.log();
    const auto nodes = tree();
    // The two choice pairs: radio buttons in groups named after their frames.
    for (const auto& [name, group] : {std::pair{"Active Form", "Screen Shot Type"},
                                      {"All Screen", "Screen Shot Type"},
                                      {"JPG", "Save Type"},
                                      {"BMP", "Save Type"}}) {
        const AccessibleNode* choice = findNode(nodes, "radio button", name);
        ASSERT_NE(choice, nullptr) << name;
        EXPECT_EQ(choice->parentName, group);
        EXPECT_NE(findNode(nodes, "panel", group), nullptr) << group;
    }
    EXPECT_TRUE(findNode(nodes, "radio button", "Active Form")->checked);
    EXPECT_FALSE(findNode(nodes, "radio button", "All Screen")->checked);
    // The timer: a spin box with its value.
    const AccessibleNode* timer = findNode(nodes, "spin button", "Self Timer");
    ASSERT_NE(timer, nullptr);
    EXPECT_TRUE(timer->hasNumber);
    EXPECT_EQ(timer->number, 1.0);
    // The buttons say what they do (not "Opt", "Inf", "times"); the frames and the background
    // are named.
    for (const char* name : {"設定を開く", "バージョン情報を表示", "選択を保存して終了",
                             "セルフタイマーの後に撮影", "増やす", "減らす"})
        EXPECT_NE(findNode(nodes, "push button", name), nullptr) << name;
    for (const char* name : {"Self Timer", "設定と情報", "撮影"})
        EXPECT_NE(findNode(nodes, "panel", name), nullptr) << name;
    EXPECT_NE(findNode(nodes, "image", "背景 (ドラッグでウインドウを移動)"), nullptr);
    // Every control and every frame around controls is named; the window's own background
    // frame (a panel from Qt 6.8 on, a filler before) is read by the window's name.
    for (const AccessibleNode& node : nodes) {
        if (node.role == "panel" && node.parentName == "Kelvoro")
            continue;
        if (node.role == "push button" || node.role == "radio button" || node.role == "panel") {
            EXPECT_FALSE(node.name.empty())
                << node.role << " without a name, in " << node.parentName;
        }
    }
}

TEST_F(Accessible, UnderAnEnglishLocaleTheNamesAreEnglishAndTheCaptionsStay) {
    ASSERT_TRUE(start({"LANG=en_GB.UTF-8"})) << program_.log();
    const auto nodes = tree();
    for (const char* name : {"Open the options", "About Kelvoro", "Save the choices and exit",
                             "Take the shot after the self-timer", "Increase", "Decrease"})
        EXPECT_NE(findNode(nodes, "push button", name), nullptr) << name;
    EXPECT_NE(findNode(nodes, "radio button", "Active Form"), nullptr);
    EXPECT_NE(findNode(nodes, "label", "Screen Shot Type"), nullptr);
    EXPECT_EQ(program_.title(program_.window()), "Kelvoro");
}

TEST_F(Accessible, KeyboardAloneTakesTwoShotsAndAltF4KeepsTheChoices) {
    ASSERT_TRUE(start()) << program_.log();
    // Tab from the first choice: the timer (a radio group is one stop; arrows move inside it).
    ASSERT_TRUE(focusComesTo("Active Form"));
    program_.keys({"Down"});  // the other choice of the pair: "All Screen"
    ASSERT_TRUE(focusComesTo("All Screen"));
    program_.keys({"Tab"});
    ASSERT_TRUE(focusComesTo("Self Timer"));
    program_.keys({"Up", "Up", "Prior", "Down"});  // 1 +1 +1 +5 -1 = 7
    for (int attempt = 0; attempt < 50 && timerValue() != 7.0; ++attempt)
        std::this_thread::sleep_for(100ms);
    EXPECT_EQ(timerValue(), 7.0);
    program_.keys({"Next", "Next"});  // Page Down twice: held at the bottom of the range
    program_.keys({"Tab", "Tab", "Tab", "Tab"});
    ASSERT_TRUE(focusComesTo("セルフタイマーの後に撮影"));
    EXPECT_EQ(timerValue(), 1.0);

    // Space on "Shot": one shot, and the focus back on "Shot", so the next Space shoots again
    // instead of quitting.
    program_.keys({"space"});
    ASSERT_TRUE(program_.waitForFile(program_.desktop() / "ALL_J00.jpg", 10s)) << program_.log();
    ASSERT_TRUE(program_.waitForTitle("Kelvoro", 10s));
    EXPECT_TRUE(focusComesTo("セルフタイマーの後に撮影"));
    program_.keys({"Return"});
    ASSERT_TRUE(program_.waitForFile(program_.desktop() / "ALL_J01.jpg", 10s)) << program_.log();
    ASSERT_TRUE(program_.waitForTitle("Kelvoro", 10s));
    EXPECT_TRUE(focusComesTo("セルフタイマーの後に撮影"));

    // Alt+F4: the window manager closes the window; the choices are written as "×" writes them.
    program_.keys({"alt+F4"});
    EXPECT_EQ(program_.waitForExit(10s), 0);
    const std::string ini = kvr::test::readText(program_.settingsFile());
    EXPECT_NE(ini.find("type=1"), std::string::npos) << ini;
    EXPECT_NE(ini.find("timer=1"), std::string::npos) << ini;
}

TEST_F(Accessible, OptionsAndAboutByKeyboardAlone) {
    ASSERT_TRUE(start()) << program_.log();
    ASSERT_TRUE(focusComesTo("Active Form"));
    program_.keys({"Tab", "Tab", "Tab"});  // the timer, the format, then "Opt"
    ASSERT_TRUE(focusComesTo("設定を開く"));
    program_.keys({"space"});
    ASSERT_TRUE(program_.findWindow("^設定$", 5s).has_value());
    // Labels that show data read as that data: the folder, the quality.
    const auto options = tree();
    EXPECT_NE(findNode(options, "label", program_.desktop().string()), nullptr);
    // The JPEG page, its quality slider 3 -> 5, and Esc: kept as "閉じる" keeps it.
    program_.keys({"ctrl+Tab"});
    ASSERT_TRUE(tabTo("画質"));
    const auto jpegPage = tree();
    EXPECT_NE(findNode(jpegPage, "label", "3"), nullptr);
    program_.keys({"Right", "Right", "Escape"});
    // Written key by key: the quality comes after the folder.
    EXPECT_TRUE(kvr::test::pollUntil(5s, [&] {
        return kvr::test::readText(program_.settingsFile()).find("qualityrange=5") !=
               std::string::npos;
    })) << kvr::test::readText(program_.settingsFile());
    // Again: Tab reaches "閉じる", the default button; Enter presses it.
    ASSERT_TRUE(focusComesTo("設定を開く"));
    program_.keys({"space"});
    ASSERT_TRUE(program_.findWindow("^設定$", 5s).has_value());
    EXPECT_TRUE(tabTo("閉じる"));
    program_.keys({"Return"});
    ASSERT_TRUE(focusComesTo("設定を開く"));
    // The About box: "×" has the focus, and answers Esc and Enter.
    program_.keys({"Tab"});
    ASSERT_TRUE(focusComesTo("バージョン情報を表示"));
    for (const char* key : {"Escape", "Return"}) {
        program_.keys({"Return"});
        ASSERT_TRUE(program_.findWindow("^バージョン情報$", 5s).has_value()) << key;
        EXPECT_TRUE(focusComesTo("閉じる")) << key;
        program_.keys({key});
        EXPECT_TRUE(focusComesTo("バージョン情報を表示")) << key;
    }
}

TEST(AltF4, ARefusedWriteIsShownAndTheProgramStillEnds) {
    Program program;
    // A folder where the settings file should be: the write is refused.
    fs::create_directories(program.settingsFile());
    ASSERT_TRUE(program.start()) << program.log();
    program.keys({"alt+F4"});
    // The stop box (captioned with the title, as every error box of a handler) beside the window.
    bool boxShown = false;
    std::string windows;
    for (int attempt = 0; attempt < 100 && !boxShown; ++attempt) {
        windows = program.run({"xdotool", "search", "--onlyvisible", "--name", "^Kelvoro$"}).output;
        boxShown = std::count(windows.begin(), windows.end(), '\n') == 2;
        if (!boxShown)
            std::this_thread::sleep_for(100ms);
    }
    ASSERT_TRUE(boxShown) << "windows titled Kelvoro:\n" << windows << program.log();
    EXPECT_FALSE(program.waitForExit(300ms).has_value()) << "ended before the message was read";
    // Enter closes the box, and the program ends as the window manager asked.
    program.keys({"Return"});
    EXPECT_EQ(program.waitForExit(10s), 0) << program.log();
}

// A real notification server on the test's own session bus.
TEST(Notification, ReachesTheServerWithTheFileNameAndItsFolder) {
    Program program;
    SessionBus bus(program.root() / "bus");
    ASSERT_TRUE(bus.startNotifications(program.display()));
    ASSERT_TRUE(program.start({"DBUS_SESSION_BUS_ADDRESS=" + bus.address()})) << program.log();
    program.keys({"Down", "Tab", "Tab", "Tab", "Tab", "Tab"});  // "All Screen", then "Shot"
    program.keys({"space"});
    ASSERT_TRUE(program.waitForFile(program.desktop() / "ALL_J00.jpg", 10s)) << program.log();
    std::string history;
    for (int attempt = 0; attempt < 100; ++attempt) {
        // The history holds the notifications closed so far: close what shows, then read it.
        bus.run({"dunstctl", "close-all"}, program.display());
        history = bus.run({"dunstctl", "history"}, program.display()).output;
        if (history.find("ALL_J00.jpg") != std::string::npos)
            break;
        std::this_thread::sleep_for(100ms);
    }
    EXPECT_NE(history.find("ALL_J00.jpg"), std::string::npos) << history;
    EXPECT_NE(history.find(program.desktop().string()), std::string::npos) << history;
}

// The notification's action opens the folder with the desktop's opener (xdg-open; here one of
// the test's own that notes what it was asked to open).
TEST(Notification, ItsActionOpensTheFolder) {
    Program program;
    SessionBus bus(program.root() / "bus");
    ASSERT_TRUE(bus.startNotifications(program.display()));
    const fs::path bin = program.root() / "bin";
    const fs::path opened = program.root() / "opened.txt";
    fs::create_directories(bin);
    kvr::test::writeText(bin / "xdg-open", "#!/bin/sh\necho \"$1\" >> '" + opened.string() + "'\n");
    fs::permissions(bin / "xdg-open", fs::perms::owner_all);
    ASSERT_TRUE(program.start(
        {"DBUS_SESSION_BUS_ADDRESS=" + bus.address(), "PATH=" + bin.string() + ":/usr/bin:/bin"}))
        << program.log();
    program.keys({"Down", "Tab", "Tab", "Tab", "Tab", "Tab", "space"});
    ASSERT_TRUE(program.waitForFile(program.desktop() / "ALL_J00.jpg", 10s)) << program.log();
    bool invoked = false;
    for (int attempt = 0; attempt < 100 && !invoked; ++attempt) {
        // Clicking it: dunst's default action of the newest notification.
        invoked = bus.run({"dunstctl", "count", "displayed"}, program.display()).output != "0\n" &&
                  bus.run({"dunstctl", "action", "0"}, program.display()).exitCode == 0;
        if (!invoked)
            std::this_thread::sleep_for(100ms);
    }
    ASSERT_TRUE(invoked);
    ASSERT_TRUE(program.waitForFile(opened, 10s)) << program.log();
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(kvr::test::readText(opened), "file://" + program.desktop().string() + "\n");
}

// A server that takes the calls and never answers: the shot, the window's return and the next
// shot go on as if there were none (a call that waited would hold the window for the bus's
// whole timeout).
TEST(Notification, AServerThatNeverAnswersHoldsNothingUp) {
    Program program;
    SessionBus bus(program.root() / "bus");
    const fs::path calls = program.root() / "calls.txt";
    bus.startHelper({"/usr/bin/python3", KVR_STALLED_NOTIFICATIONS, calls.string()});
    for (int attempt = 0; attempt < 100 && !bus.hasOwner("org.freedesktop.Notifications");
         ++attempt)
        std::this_thread::sleep_for(100ms);
    ASSERT_TRUE(bus.hasOwner("org.freedesktop.Notifications"));
    ASSERT_TRUE(program.start({"DBUS_SESSION_BUS_ADDRESS=" + bus.address()})) << program.log();
    program.keys({"Down", "Tab", "Tab", "Tab", "Tab", "Tab", "space"});  // "All Screen", "Shot"
    ASSERT_TRUE(program.waitForFile(program.desktop() / "ALL_J00.jpg", 10s)) << program.log();
    ASSERT_TRUE(program.waitForTitle("Kelvoro", 5s));
    // The program did ask the server, and is still free: the next key takes the next shot.
    ASSERT_TRUE(program.waitForFile(calls, 5s));
    program.keys({"space"});
    EXPECT_TRUE(program.waitForFile(program.desktop() / "ALL_J01.jpg", 5s)) << program.log();
    EXPECT_TRUE(program.waitForTitle("Kelvoro", 5s));
    EXPECT_NE(kvr::test::readText(calls).find("GetCapabilities"), std::string::npos);
}

// No server at all on the bus: nothing is shown, nothing waits.
TEST(Notification, WithoutAServerTheShotIsAsAlways) {
    Program program;
    SessionBus bus(program.root() / "bus");
    ASSERT_TRUE(program.start({"DBUS_SESSION_BUS_ADDRESS=" + bus.address()})) << program.log();
    program.keys({"Down", "Tab", "Tab", "Tab", "Tab", "Tab", "space"});  // "All Screen", "Shot"
    ASSERT_TRUE(program.waitForFile(program.desktop() / "ALL_J00.jpg", 10s)) << program.log();
    ASSERT_TRUE(program.waitForTitle("Kelvoro", 5s));
    program.keys({"space"});
    EXPECT_TRUE(program.waitForFile(program.desktop() / "ALL_J01.jpg", 5s)) << program.log();
    EXPECT_FALSE(program.findWindow("^エラー$", 1s).has_value());
}

}  // namespace
