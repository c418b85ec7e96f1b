#include "core/naming.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "base/texts.h"

#include "file_support.h"

namespace fs = std::filesystem;
using namespace kvr;

namespace {

class NamingTest : public ::testing::Test {
protected:
    NamingTest() { choices.Place = dir.string(); }
    void touch(const std::string& name) { test::writeText(dir / name, "x"); }
    std::string next() { return nextFileName(choices).value_or("<none>"); }

    test::TempDir tmp;
    const fs::path dir = tmp.path();
    ShotChoices choices;
};

TEST_F(NamingTest, PrefixAndExtensionTable) {
    using enum ShotMode;
    using enum SaveFormat;
    const struct {
        ShotMode mode;
        SaveFormat format;
        bool check;
        const char* prefix;
        const char* expected;
    } rows[] = {
        {AllScreen, Jpeg, false, "", "ALL_J00.jpg"},
        {AllScreen, Bmp, false, "", "ALL_B00.bmp"},
        {ActiveWindow, Bmp, false, "", "Act_B00.bmp"},
        {ActiveWindow, Jpeg, false, "", "Act_J00.jpg"},
        {ActiveWindow, Bmp, true, "shot", "shot00.bmp"},
        {AllScreen, Bmp, true, "shot", "shot00.bmp"},
        {AllScreen, Jpeg, true, "", "00.jpg"},
        {AllScreen, Jpeg, false, "shot", "ALL_J00.jpg"},  // the prefix is off: ignored
        {AllScreen, Png, false, "", "ALL_P00.png"},
        {ActiveWindow, Png, false, "", "Act_P00.png"},
        {ActiveWindow, Png, true, "shot", "shot00.png"},
        {Region, Jpeg, false, "", "Rgn_J00.jpg"},
        {Region, Webp, false, "", "Rgn_W00.webp"},
        {Region, Bmp, true, "shot", "shot00.bmp"},
    };
    for (const auto& r : rows) {
        choices.mode = r.mode;
        choices.format = r.format;
        choices.FileNameCheck = r.check;
        choices.FileName = r.prefix;
        EXPECT_EQ(next(), r.expected);
    }
}

TEST_F(NamingTest, FirstFreeNumberIsReusedAndTwoDigitsKept) {
    choices.mode = ShotMode::AllScreen;
    for (int i = 0; i <= 5; ++i)
        touch("ALL_J0" + std::to_string(i) + ".jpg");
    EXPECT_EQ(next(), "ALL_J06.jpg");
    fs::remove(dir / "ALL_J02.jpg");
    EXPECT_EQ(next(), "ALL_J02.jpg");
    for (int i = 0; i < 42; ++i) {
        char name[32];
        snprintf(name, sizeof name, "ALL_J%02d.jpg", i);
        touch(name);
    }
    EXPECT_EQ(next(), "ALL_J42.jpg");
}

TEST_F(NamingTest, HundredNamesTakenGivesNothingPerPrefixAndFormat) {
    choices.mode = ShotMode::ActiveWindow;
    choices.format = SaveFormat::Bmp;
    for (int i = 0; i < 100; ++i) {
        char name[32];
        snprintf(name, sizeof name, "Act_B%02d.bmp", i);
        touch(name);
    }
    EXPECT_FALSE(nextFileName(choices).has_value());
    choices.format = SaveFormat::Jpeg;
    EXPECT_EQ(next(), "Act_J00.jpg");
    choices.mode = ShotMode::AllScreen;
    choices.format = SaveFormat::Bmp;
    EXPECT_EQ(next(), "ALL_B00.bmp");
    EXPECT_NE(std::string(text::kNoFreeName).find("\r\n"), std::string::npos);
}

TEST_F(NamingTest, DirectoryOfThatNameDoesNotCountButOtherFilesDo) {
    choices.mode = ShotMode::AllScreen;
    fs::create_directory(dir / "ALL_J00.jpg");
    EXPECT_EQ(next(), "ALL_J00.jpg");
    touch("ALL_B00.bmp");
    choices.format = SaveFormat::Bmp;
    EXPECT_EQ(next(), "ALL_B01.bmp");
}

TEST_F(NamingTest, AnyLinkTakesItsNameEvenDanglingOrToAFolder) {
    choices.mode = ShotMode::AllScreen;
    choices.format = SaveFormat::Bmp;
    // Writing through a dangling link would create its target outside the folder.
    fs::create_symlink(dir / "elsewhere.bmp", dir / "ALL_B00.bmp");
    fs::create_directory(dir / "sub");
    fs::create_directory_symlink(dir / "sub", dir / "ALL_B01.bmp");
    EXPECT_EQ(next(), "ALL_B02.bmp");
}

// A prefix with a NUL byte (only from a hand-edited file) is cut there: the name offered is the
// name the file gets, so the numbers go on counting instead of all landing on one file.
TEST_F(NamingTest, PrefixIsCutAtANulByteForTheCheckAndTheFile) {
    choices.FileNameCheck = true;
    choices.FileName = std::string("a\0b", 3);
    for (const char* expected : {"a00.jpg", "a01.jpg", "a02.jpg"}) {
        const std::string name = next();
        EXPECT_EQ(name, expected);
        touch(name);
    }
    EXPECT_EQ(test::entries(dir), (std::vector<std::string>{"a00.jpg", "a01.jpg", "a02.jpg"}));
}

TEST_F(NamingTest, MissingFolderGivesZero) {
    choices.Place = (dir / "not" / "there").string();
    choices.mode = ShotMode::AllScreen;
    EXPECT_EQ(next(), "ALL_J00.jpg");
    EXPECT_EQ(joinPath("/a/b", "c.jpg"), "/a/b/c.jpg");
    EXPECT_EQ(joinPath("/", "c.jpg"), "/c.jpg");
}

}  // namespace
