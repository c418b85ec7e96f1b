// kvr.ini as the program uses it: the integer conversion, each key's default and encoding,
// the write groups and their order, and where the file lives.
#include "core/settings.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>

#include "base/error.h"
#include "file_support.h"

namespace fs = std::filesystem;
using namespace kvr;

namespace {

TEST(IntegerConversion, Table) {
    const struct {
        const char* text;
        std::optional<int32_t> expected;
    } cases[] = {
        {"12", 12},
        {" 12", 12},
        {"   -7", -7},
        {"+5", 5},
        {"0", 0},
        {"007", 7},
        {"2147483647", INT32_MAX},
        {"-2147483648", INT32_MIN},
        {"0x10", 16},
        {"0X1f", 31},
        {"$10", 16},
        {"x10", 16},
        {"XaB", 171},
        {"-$10", -16},
        {"+0x10", 16},
        {"$FFFFFFFF", -1},
        {"$80000000", INT32_MIN},
        {"-$80000000", INT32_MIN},
        {"$000000000001", 1},
        {"2147483648", std::nullopt},
        {"-2147483649", std::nullopt},
        {"99999999999999999999", std::nullopt},
        {"$100000000", std::nullopt},
        {"12 ", std::nullopt},
        {"1.5", std::nullopt},
        {"12abc", std::nullopt},
        {"", std::nullopt},
        {" ", std::nullopt},
        {"-", std::nullopt},
        {"+-1", std::nullopt},
        {"--1", std::nullopt},
        {"\t12", std::nullopt},
        {"- 1", std::nullopt},
        {"$", std::nullopt},
        {"0x", std::nullopt},
        {"$G", std::nullopt},
        {"0x-1", std::nullopt},
        {"abc", std::nullopt},
        {"１２", std::nullopt},  // full-width digits
    };
    for (const auto& c : cases) {
        EXPECT_EQ(tryParseInteger(c.text), c.expected) << "'" << c.text << "'";
    }
}

TEST(IntegerConversion, FailureRaisesTheConversionError) {
    EXPECT_EQ(parseInteger(" 30"), 30);
    try {
        parseInteger("12abc");
        FAIL() << "no error";
    } catch (const KvrError& e) {
        EXPECT_EQ(std::string(e.what()), "'12abc' は整数ではありません");
    }
}

class SettingsTest : public ::testing::Test {
protected:
    void put(const std::string& bytes) const { test::writeText(ini, bytes); }
    std::string bytes() const { return test::readText(ini); }

    test::TempDir tmp;
    const fs::path dir = tmp.path();
    const std::string ini = (dir / "kvr.ini").string();
};

void expectStartup(const StartupSettings& s, int type, int save, int timer, const char* place,
                   const char* fileName, bool check) {
    EXPECT_EQ(s.type, type);
    EXPECT_EQ(s.save, save);
    EXPECT_EQ(s.timer, timer);
    EXPECT_EQ(s.Place, place);
    EXPECT_EQ(s.FileName, fileName);
    EXPECT_EQ(s.FileNameCheck, check);
}

TEST_F(SettingsTest, DefaultsWithoutAFile) {
    Settings settings(ini);
    expectStartup(readStartupSettings(settings), 0, 0, 1, "Error", "", false);
    EXPECT_EQ(readStartupSettings(settings).lossless, SaveFormat::Bmp);
    EXPECT_EQ(settings.readInteger("Save", "flg", 0), 0);
    EXPECT_EQ(settings.readInteger("JPEG", "qualityrange", 3), 3);
    EXPECT_EQ(settings.readInteger("JPEG", "grayscale", 0), 0);
    EXPECT_TRUE(settings.readBool("JPEG", "missing", true));
    EXPECT_FALSE(fs::exists(ini));  // reading makes no file
}

TEST_F(SettingsTest, StartupReadsAHandWrittenWindowsFile) {
    put("[CreatFlg]\r\ntype=1\r\nsave = 1\r\ntimer=  15\r\n"
        "[Save]\r\nplace=C:\\\x83\x66\x83\x58\x83\x4e\x83\x67\x83\x62\x83\x76\r\n"
        "FileName=shot_\r\nfilenamecheck=1\r\n");
    expectStartup(readStartupSettings(Settings(ini)), 1, 1, 15, "C:\\デスクトップ", "shot_", true);
}

TEST_F(SettingsTest, ValuesThatDoNotConvertGiveTheDefault) {
    put("[CreatFlg]\ntimer=abc\ntype=\n[Save]\nfilenamecheck=2\nfilename=\nplace=\n");
    StartupSettings s = readStartupSettings(Settings(ini));
    EXPECT_EQ(s.timer, 1);
    EXPECT_EQ(s.type, 0);
    EXPECT_TRUE(s.FileNameCheck);
    EXPECT_EQ(s.Place, "Error");  // empty: unset, as the default (never "/")

    // A hand-written prefix keeps only what the options dialog takes: it cannot leave the folder.
    put("[Save]\nflg=1\nplace=\nfilename=../../trav_\x01ü\nfilenamecheck=1\n");
    expectStartup(readStartupSettings(Settings(ini)), 0, 0, 1, "Error", "....trav_ü", true);

    put("[CreatFlg]\ntimer=\n[Save]\nfilenamecheck=yes\npng=PNG\n");
    s = readStartupSettings(Settings(ini));
    EXPECT_EQ(s.timer, 1);
    EXPECT_FALSE(s.FileNameCheck);
    EXPECT_EQ(s.lossless, SaveFormat::Bmp);
    // The lossless choice: older files' 0 and 1 as before, 2 WebP, anything else the default.
    for (const auto& [value, format] : {std::pair{"0", SaveFormat::Bmp},
                                        {"1", SaveFormat::Png},
                                        {"2", SaveFormat::Webp},
                                        {"3", SaveFormat::Bmp},
                                        {"-1", SaveFormat::Bmp}}) {
        put(std::string("[Save]\npng=") + value + "\n");
        EXPECT_EQ(readStartupSettings(Settings(ini)).lossless, format) << value;
    }

    put("[Save]\nfilenamecheck=-1\n[JPEG]\nqualityrange=$A\ngrayscale=true\n");
    Settings settings(ini);
    EXPECT_TRUE(settings.readBool("Save", "filenamecheck", false));
    EXPECT_EQ(settings.readInteger("JPEG", "qualityrange", 3), 10);
    EXPECT_EQ(settings.readInteger("JPEG", "grayscale", 0), 0);
    EXPECT_TRUE(settings.readBool("JPEG", "grayscale", true));
}

TEST_F(SettingsTest, RegionIsItsOwnTypeValueAndItsRectangleKeepsTheLayout) {
    // 0 and 2 are their own; any other value All Screen, as older files were read.
    for (const auto& [type, mode] : {std::pair{0, ShotMode::ActiveWindow},
                                     {1, ShotMode::AllScreen},
                                     {2, ShotMode::Region},
                                     {3, ShotMode::AllScreen},
                                     {-1, ShotMode::AllScreen}})
        EXPECT_EQ(shotModeSaved(type), mode) << type;
    Settings settings(ini);
    writeExitSettings(settings, ShotMode::Region, SaveFormat::Jpeg, "3");
    EXPECT_EQ(shotModeSaved(readStartupSettings(settings).type), ShotMode::Region);
    writeExitSettings(settings, ShotMode::AllScreen, SaveFormat::Jpeg, "3");
    EXPECT_EQ(settings.readInteger("CreatFlg", "type", -1), 1);  // what older versions read

    EXPECT_FALSE(readSavedRegion(settings));
    writeSavedRegion(settings, {{1920, 8, 640, 480}, "DP-1:1920x1080+0+0 DP-2:1920x1080+1920+0"});
    const auto saved = readSavedRegion(settings);
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->rect, (ScreenRect{1920, 8, 640, 480}));
    EXPECT_EQ(saved->layout, "DP-1:1920x1080+0+0 DP-2:1920x1080+1920+0");
    EXPECT_EQ(settings.readString("Region", "rect", ""), "640x480+1920+8");
    // A hand edit that is no rectangle is no saved region.
    for (const char* rect : {"", "640x480", "-1x2+0+0", "0x5+1+1"}) {
        settings.writeString("Region", "rect", rect);
        EXPECT_FALSE(readSavedRegion(settings)) << rect;
    }
    CaptureChoices choices;
    EXPECT_FALSE(readCaptureChoices(settings).lastRegion);
    choices.lastRegion = true;
    writeCaptureChoices(settings, choices);
    EXPECT_TRUE(readCaptureChoices(settings).lastRegion);
}

TEST_F(SettingsTest, CaptureMonitorOutOfRangeGivesThePrimary) {
    for (const char* monitor : {"3", "-1", "x"}) {
        put(std::string("[Capture]\nmonitor=") + monitor + "\nclipboard=1\n");
        const CaptureChoices c = readCaptureChoices(Settings(ini));
        EXPECT_EQ(c.monitor, MonitorChoice::Primary) << monitor;
        EXPECT_FALSE(c.pointer);
        EXPECT_TRUE(c.clipboard);
        EXPECT_TRUE(c.countdown) << "the badge is on unless turned off";
    }
    // Turned off, it stays off through a write and a read.
    put("[Capture]\ncountdown=0\n");
    CaptureChoices c = readCaptureChoices(Settings(ini));
    EXPECT_FALSE(c.countdown);
    Settings settings(ini);
    writeCaptureChoices(settings, c);
    EXPECT_FALSE(readCaptureChoices(Settings(ini)).countdown);
    c.countdown = true;
    writeCaptureChoices(settings, c);
    EXPECT_TRUE(readCaptureChoices(Settings(ini)).countdown);
}

TEST_F(SettingsTest, IntegersAndBooleansAreWrittenAsDecimalText) {
    Settings settings(ini);
    settings.writeInteger("S", "neg", -5);
    settings.writeInteger("S", "min", INT32_MIN);
    settings.writeBool("S", "yes", true);
    settings.writeBool("S", "no", false);
    EXPECT_EQ(bytes(), "[S]\nneg=-5\nmin=-2147483648\nyes=1\nno=0\n");
    EXPECT_EQ(settings.readInteger("S", "min", 0), INT32_MIN);
}

TEST_F(SettingsTest, FirstExitCreatesCreatFlgWithItsThreeKeysInOrder) {
    Settings settings(ini);
    writeExitSettings(settings, ShotMode::AllScreen, SaveFormat::Bmp, "12");
    EXPECT_EQ(bytes(), "[CreatFlg]\ntype=1\nsave=1\ntimer=12\n");
    writeExitSettings(settings, ShotMode::ActiveWindow, SaveFormat::Jpeg, "abc");
    EXPECT_EQ(bytes(), "[CreatFlg]\ntype=0\nsave=0\ntimer=abc\n");
    writeExitSettings(settings, ShotMode::ActiveWindow, SaveFormat::Png, "3");
    EXPECT_EQ(bytes(), "[CreatFlg]\ntype=0\nsave=1\ntimer=3\n");
}

// Every key written through the settings object, then the whole file compared.
TEST_F(SettingsTest, EveryKeyWrittenReadsBackAsTheExpectedFile) {
    {
        Settings settings(ini);
        writeExitSettings(settings, ShotMode::AllScreen, SaveFormat::Jpeg, "30");
        writeOptionSettings(settings, {.flg = 1,
                                       .place = "/home/ユーザー/shots",
                                       .qualityrange = 10,
                                       .filenamecheck = true,
                                       .filename = "スクショ_",
                                       .lossless = SaveFormat::Webp});
        settings.writeInteger("JPEG", "grayscale", 1);
    }
    EXPECT_EQ(bytes(),
              "[CreatFlg]\n"
              "type=1\n"
              "save=0\n"
              "timer=30\n"
              "[Save]\n"
              "flg=1\n"
              "place=/home/ユーザー/shots\n"
              "filenamecheck=1\n"
              "filename=スクショ_\n"
              "png=2\n"
              "[JPEG]\n"
              "qualityrange=10\n"
              "grayscale=1\n");
    Settings settings(ini);
    expectStartup(readStartupSettings(settings), 1, 0, 30, "/home/ユーザー/shots", "スクショ_",
                  true);
    EXPECT_EQ(settings.readInteger("Save", "flg", 0), 1);
    EXPECT_EQ(settings.readInteger("JPEG", "qualityrange", 3), 10);
    EXPECT_EQ(readStartupSettings(settings).lossless, SaveFormat::Webp);
}

// A home folder whose name is not UTF-8 (here Latin-1 "cafés", whose bytes are also a CP932
// character) is stored by the options dialog and comes back the same at the next start.
TEST_F(SettingsTest, FolderNameThatIsNotUtf8ComesBackTheSame) {
    const std::string place = "/home/caf\xE9s/Desktop";
    {
        Settings settings(ini);
        writeOptionSettings(settings, {.flg = 1, .place = place, .filename = "x"});
    }
    expectStartup(readStartupSettings(Settings(ini)), 0, 0, 1, place.c_str(), "x", false);
}

TEST_F(SettingsTest, OptionWritesStopAtTheFirstRefusal) {
    put("[Save]\nflg=0\nplace=/old\nfilename=old\n");
    Settings settings(ini);
    OptionSettings options{.flg = 1,
                           .place = "/new\nfolder",  // a line break cannot be stored
                           .qualityrange = 9,
                           .filenamecheck = true,
                           .filename = "new"};
    EXPECT_THROW(writeOptionSettings(settings, options), KvrError);
    EXPECT_EQ(bytes(), "[Save]\nflg=1\nplace=/old\nfilename=old\n");

    options.place = "/new";
    options.filename = "bad\rname";
    EXPECT_THROW(writeOptionSettings(settings, options), KvrError);
    EXPECT_EQ(bytes(),
              "[Save]\nflg=1\nplace=/new\nfilename=old\nfilenamecheck=1\n[JPEG]\nqualityrange=9\n");
}

TEST_F(SettingsTest, GroupAgainstAnUnwritablePathWritesNothing) {
    const std::string missing = (dir / "no-such-folder" / "kvr.ini").string();
    Settings settings(missing);
    try {
        writeExitSettings(settings, ShotMode::AllScreen, SaveFormat::Bmp, "5");
        FAIL() << "no error";
    } catch (const KvrError& e) {
        EXPECT_EQ(std::string(e.what()), missing + " に書き込めません");
    }
    EXPECT_THROW(writeOptionSettings(settings, {}), KvrError);
    EXPECT_TRUE(fs::is_empty(dir));
}

TEST_F(SettingsTest, HandEditsShowAtTheNextRead) {
    Settings settings(ini);
    EXPECT_EQ(settings.readInteger("JPEG", "grayscale", 0), 0);
    put("[JPEG]\ngrayscale=1\n");
    EXPECT_EQ(settings.readInteger("JPEG", "grayscale", 0), 1);
}

TEST(SettingsPath, BesideTheProgram) {
    const std::string exe = fs::read_symlink("/proc/self/exe").string();
    EXPECT_EQ(settingsFilePath(), exe.substr(0, exe.rfind('/')) + "/kvr.ini");
}

}  // namespace
