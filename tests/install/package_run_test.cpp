// The program as the package installs it: unpacked with dpkg-deb into a temp root (nothing is
// installed on the system), started from there on a private X server, and left with "×". Its
// settings go to the test's XDG_CONFIG_HOME, never beside the program.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sstream>

#include "e2e_support.h"
#include "polling.h"

namespace {

using namespace kvr::e2e;
using namespace kvr::test;

// The one .deb the package fixture made, unpacked into a fresh temp root.
class UnpackedPackage {
public:
    UnpackedPackage() {
        fs::path deb;
        for (const auto& entry : fs::directory_iterator(KVR_PACKAGE_DIR))
            if (entry.path().extension() == ".deb")
                deb = entry.path();
        if (deb.empty())
            throw std::runtime_error("no package in " KVR_PACKAGE_DIR);
        const Command unpack{{"dpkg-deb", "-x", deb.string(), root_.path().string()}};
        if (run(unpack).exitCode != 0)
            throw std::runtime_error("dpkg-deb -x " + deb.string() + " failed");
    }
    fs::path program() const { return root_ / "usr/bin/kvr"; }

private:
    TempDir root_{"kvr-deb"};
};

// The visible windows titled "Kelvoro": the main window, and a message box when one shows.
size_t windowsTitledKelvoro(const Program& program) {
    std::istringstream ids(
        program.run({"xdotool", "search", "--onlyvisible", "--name", "^Kelvoro$"}).output);
    size_t count = 0;
    for (std::string line; std::getline(ids, line);)
        count += !line.empty();
    return count;
}

TEST(InstalledProgram, SettingsGoToTheConfigFolderMadeOnFirstWrite) {
    UnpackedPackage package;
    Program program(package.program());
    const fs::path ini = program.configHome() / "kelvoro/kvr.ini";
    ASSERT_FALSE(fs::exists(program.configHome()));
    ASSERT_TRUE(program.start()) << program.log();
    program.click(kAllScreen[0], kAllScreen[1]);
    program.click(kExit[0], kExit[1]);
    EXPECT_EQ(program.waitForExit(5s), std::optional<int>(0)) << program.log();

    EXPECT_EQ(readText(ini), "[CreatFlg]\ntype=1\nsave=0\ntimer=1\n");
    struct stat info {};
    ASSERT_EQ(::stat(ini.parent_path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u) << "the configuration folder is the user's alone";
    EXPECT_FALSE(fs::exists(program.folder() / "kvr.ini")) << "nothing beside the program";

    // The next start reads the same file back: the choice survives.
    Program again(package.program());
    fs::create_directories(again.configHome() / "kelvoro");
    writeText(again.configHome() / "kelvoro/kvr.ini", "[CreatFlg]\ntype=1\nsave=1\ntimer=1\n");
    ASSERT_TRUE(again.start()) << again.log();
    again.click(kExit[0], kExit[1]);
    EXPECT_EQ(again.waitForExit(5s), std::optional<int>(0)) << again.log();
    EXPECT_EQ(readText(again.configHome() / "kelvoro/kvr.ini"),
              "[CreatFlg]\ntype=1\nsave=1\ntimer=1\n");
    EXPECT_FALSE(fs::exists(again.folder() / "kvr.ini"));
}

TEST(InstalledProgram, AKvrIniBesideItKeepsThePortableWay) {
    UnpackedPackage package;
    Program program(package.program());
    writeText(program.settingsFile(), "; mine\n");
    ASSERT_TRUE(program.start()) << program.log();
    program.click(kExit[0], kExit[1]);
    EXPECT_EQ(program.waitForExit(5s), std::optional<int>(0)) << program.log();
    EXPECT_EQ(readText(program.settingsFile()), "; mine\n[CreatFlg]\ntype=0\nsave=0\ntimer=1\n");
    EXPECT_FALSE(fs::exists(program.configHome()));
}

TEST(InstalledProgram, UnmakeableConfigFolderIsReportedAndTheProgramStays) {
    UnpackedPackage package;
    Program program(package.program());
    writeText(program.configHome(), "a file where the folder should be");
    ASSERT_TRUE(program.start()) << program.log();
    program.click(kExit[0], kExit[1]);
    // The message box ("<path> に書き込めません.") comes up beside the main window, which stays.
    const bool boxShown = pollUntil(
        10s, [&] { return windowsTitledKelvoro(program) == 2; }, 100ms);
    EXPECT_TRUE(boxShown) << program.log();
    EXPECT_FALSE(program.waitForExit(1s).has_value()) << "a refused write does not end it";
    EXPECT_EQ(readText(program.configHome()), "a file where the folder should be");
    EXPECT_FALSE(fs::exists(program.folder() / "kvr.ini"));
}

}  // namespace
