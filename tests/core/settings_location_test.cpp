// Where kvr.ini lives: the rule as a table, the facts read from a real folder and environment,
// and the making of the configuration folder on the first write.
#include "core/settings_location.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <system_error>

#include "core/desktop.h"
#include "file_support.h"

namespace fs = std::filesystem;
using namespace kvr;

namespace {

TEST(SettingsLocationRule, Table) {
    const struct {
        const char* what;
        SettingsPlaceFacts facts;
        const char* path;
        bool createFolder;
    } cases[] = {
        // Beside the program: where it was built, or with a kvr.ini already there.
        {"build tree",
         {"/src/kvr/build", false, true, "/cfg", "/home/u"},
         "/src/kvr/build/kvr.ini",
         false},
        {"portable copy", {"/opt/kvr", true, false, "/cfg", "/home/u"}, "/opt/kvr/kvr.ini", false},
        {"build tree with a kvr.ini", {"/b", true, true, "", "/home/u"}, "/b/kvr.ini", false},
        {"program in the root folder", {"", true, false, "", "/home/u"}, "/kvr.ini", false},
        // Installed: the user's configuration folder.
        {"installed",
         {"/usr/bin", false, false, "", "/home/u"},
         "/home/u/.config/kelvoro/kvr.ini",
         true},
        {"XDG_CONFIG_HOME",
         {"/usr/bin", false, false, "/x/conf", "/home/u"},
         "/x/conf/kelvoro/kvr.ini",
         true},
        {"XDG_CONFIG_HOME with slashes",
         {"/usr/bin", false, false, "/x/conf//", "/home/u"},
         "/x/conf/kelvoro/kvr.ini",
         true},
        {"XDG_CONFIG_HOME is the root",
         {"/usr/bin", false, false, "/", "/home/u"},
         "/kelvoro/kvr.ini",
         true},
        {"relative XDG_CONFIG_HOME is ignored",
         {"/usr/bin", false, false, "conf", "/home/u"},
         "/home/u/.config/kelvoro/kvr.ini",
         true},
        {"HOME with a slash",
         {"/usr/local/bin", false, false, "", "/home/u/"},
         "/home/u/.config/kelvoro/kvr.ini",
         true},
        {"HOME is the root", {"/usr/bin", false, false, "", "/"}, "/.config/kelvoro/kvr.ini", true},
        {"Japanese HOME",
         {"/usr/bin", false, false, "", "/home/写真"},
         "/home/写真/.config/kelvoro/kvr.ini",
         true},
        // No usable home at all: the program's folder, whose refusal names the path.
        {"no home", {"/usr/bin", false, false, "", ""}, "/usr/bin/kvr.ini", false},
        {"relative home only",
         {"/usr/bin", false, false, "rel", "home"},
         "/usr/bin/kvr.ini",
         false},
    };
    for (const auto& c : cases) {
        const SettingsLocation location = settingsLocation(c.facts);
        EXPECT_EQ(location.path, c.path) << c.what;
        EXPECT_EQ(location.createFolder, c.createFolder) << c.what;
    }
}

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(SettingsPlaceFacts, ReadFromTheProgramFolderAndTheEnvironment) {
    test::TempDir dir;
    const std::string folder = dir.path().string();
    ScopedEnv config("XDG_CONFIG_HOME", "/x/conf");
    ScopedEnv home("HOME", "/home/u");

    SettingsPlaceFacts facts = currentSettingsPlaceFacts(folder);
    EXPECT_EQ(facts.programFolder, folder);
    EXPECT_FALSE(facts.iniBesideProgram);
    EXPECT_FALSE(facts.inBuildTree);
    EXPECT_EQ(facts.xdgConfigHome, "/x/conf");
    EXPECT_EQ(facts.home, "/home/u");

    // A marker that is not a plain file does not make a build tree.
    fs::create_directory(dir / kBuildTreeMarker);
    EXPECT_FALSE(currentSettingsPlaceFacts(folder).inBuildTree);
    fs::remove(dir / kBuildTreeMarker);
    test::writeText(dir / kBuildTreeMarker, "");
    EXPECT_TRUE(currentSettingsPlaceFacts(folder).inBuildTree);

    // A kvr.ini put there by hand counts even as a link whose target is not there yet.
    fs::create_symlink(dir / "elsewhere.ini", dir / "kvr.ini");
    EXPECT_TRUE(currentSettingsPlaceFacts(folder).iniBesideProgram);
}

TEST(SettingsPlaceFacts, WithoutHomeTheAccountsHomeFolder) {
    ScopedEnv home("HOME", nullptr);
    const std::string found = currentSettingsPlaceFacts("/usr/bin").home;
    ASSERT_FALSE(found.empty());
    EXPECT_EQ(found.front(), '/');
    ScopedEnv relative("HOME", "not/absolute");
    EXPECT_EQ(currentSettingsPlaceFacts("/usr/bin").home, found);
}

// The desktop folder follows the same rule for HOME, and reads user-dirs.dirs only when it is a
// regular file: a pipe there would otherwise hold start-up until something wrote to it.
TEST(DesktopFolder, SameHomeRuleAndOnlyARegularUserDirsFile) {
    test::TempDir home;
    ScopedEnv config("XDG_CONFIG_HOME", nullptr);
    ScopedEnv absolute("HOME", home.path().c_str());
    fs::create_directories(home / ".config");
    test::writeText(home / ".config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/Desk\"\n");
    EXPECT_EQ(desktopFolder(), (home / "Desk").string());
    fs::remove(home / ".config/user-dirs.dirs");
    ASSERT_EQ(mkfifo((home / ".config/user-dirs.dirs").c_str(), 0600), 0);
    EXPECT_EQ(desktopFolder(), (home / "Desktop").string());

    // A relative HOME is ignored, as for the settings: the account's home instead.
    ScopedEnv relative("HOME", "not/absolute");
    const std::string desktop = desktopFolder();
    EXPECT_EQ(desktop.front(), '/');
    EXPECT_EQ(desktop.find("not/absolute"), std::string::npos);
}

TEST(SettingsFolder, MadeLevelByLevelPrivateToTheUser) {
    test::TempDir dir;
    const fs::path ini = dir / "config/kelvoro/kvr.ini";
    createSettingsFolder(ini.string());
    for (const fs::path& made : {dir / "config", dir / "config/kelvoro"}) {
        struct stat info {};
        ASSERT_EQ(::stat(made.c_str(), &info), 0) << made;
        EXPECT_TRUE(S_ISDIR(info.st_mode)) << made;
        EXPECT_EQ(info.st_mode & 0777, 0700u) << made;
    }
    EXPECT_TRUE(fs::is_empty(dir / "config/kelvoro")) << "only the folder; the file comes later";

    // Again: nothing changes, and an existing folder keeps its own mode.
    fs::permissions(dir / "config", fs::perms(0755));
    createSettingsFolder(ini.string());
    EXPECT_EQ(fs::status(dir / "config").permissions(), fs::perms(0755));
}

TEST(SettingsFolder, LinkedFolderIsUsedAndAFileInTheWayIsAnError) {
    test::TempDir dir;
    fs::create_directory(dir / "real");
    fs::create_directory_symlink(dir / "real", dir / "config");
    createSettingsFolder((dir / "config/kelvoro/kvr.ini").string());
    EXPECT_TRUE(fs::is_directory(dir / "real/kelvoro"));

    test::writeText(dir / "file", "keep me");
    EXPECT_THROW(createSettingsFolder((dir / "file/kelvoro/kvr.ini").string()), std::system_error);
    EXPECT_EQ(test::readText(dir / "file"), "keep me");
    test::writeText(dir / "real/taken", "");
    EXPECT_THROW(createSettingsFolder((dir / "real/taken/kvr.ini").string()), std::system_error);
}

}  // namespace
