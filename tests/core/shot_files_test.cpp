// Whole shots through shotNow from a made-up source: the settings read at each JPEG shot, the
// names, the folders, and what each failure leaves on disk.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <optional>
#include <thread>

#include "base/error.h"
#include "core/outfile.h"
#include "core/settings.h"
#include "core/shot.h"
#include "fake_source.h"
#include "file_support.h"
#include "jpeg_support.h"
#include "process.h"

namespace kvr {
namespace {

namespace fs = std::filesystem;
using namespace kvr::test;

class ShotFiles : public ::testing::Test {
protected:
    ShotChoices choices(SaveFormat format, const fs::path& place) const {
        ShotChoices c;
        c.mode = ShotMode::AllScreen;
        c.format = format;
        c.Place = place.string();
        return c;
    }
    void writeIni(const std::string& text) { writeText(dir_ / "kvr.ini", text); }

    // A whole shot as the main window makes it, with the JPEG settings of the test's kvr.ini.
    ShotResult shoot(const ShotChoices& choices) {
        return shotNow(source_, choices, readJpegOptions(Settings((dir_ / "kvr.ini").string())))
            .result;
    }

    // The luminance quantisation table of a JPEG file.
    static std::vector<uint8_t> lumaTable(const fs::path& file) {
        const auto layout = parseJpeg(readFile(file));
        const auto& p = layout.segments.at(2).payload;
        return std::vector<uint8_t>(p.begin() + 1, p.end());
    }

    // The shot fails with the create error of path and leaves the file system as it was.
    void expectCreateError(SaveFormat format, const fs::path& place, const fs::path& path,
                           const std::string& reason) {
        try {
            shoot(choices(format, place));
            ADD_FAILURE() << "no error";
        } catch (const KvrError& e) {
            EXPECT_EQ(e.what(), "ファイル \"" + path.string() + "\" を作成できません: " + reason);
        }
    }

    TempDir dir_;
    FakeScreenSource source_{bgrx(320, 240)};
};

TEST_F(ShotFiles, JpegWithoutSettingsFileIsColourQuality30) {
    ASSERT_EQ(shoot(choices(SaveFormat::Jpeg, dir_.path())), ShotResult::Written);
    const auto file = readFile(dir_ / "ALL_J00.jpg");
    const auto layout = parseJpeg(file);
    ASSERT_EQ(layout.segments.size(), 10u);
    EXPECT_EQ(lumaTable(dir_ / "ALL_J00.jpg"), expectedQuantTable(false, 30));
    EXPECT_EQ(layout.segments[4].payload,
              (std::vector<uint8_t>{8, 0, 240, 1, 64, 3, 1, 0x22, 0, 2, 0x11, 1, 3, 0x11, 1}));
    const auto d = decodeJpeg(file);
    const uint8_t* px = &d.pixels[(5 * 320 + 5) * 3];  // the top-left block is red
    EXPECT_GT(px[0], 240);
    EXPECT_LT(px[2], 16);
}

TEST_F(ShotFiles, QualityAndGreyAreReadAtEachShot) {
    const std::pair<const char*, std::vector<uint8_t>> rows[] = {
        {"5", expectedQuantTable(false, 50)}, {"10", std::vector<uint8_t>(64, 1)},
        {"0", std::vector<uint8_t>(64, 255)}, {"26", expectedQuantTable(false, 4)},
        {"-1", std::vector<uint8_t>(64, 1)},  {"17", std::vector<uint8_t>(64, 1)}};
    int n = 0;
    for (const auto& [range, table] : rows) {
        writeIni(std::string("[JPEG]\r\nqualityrange=") + range + "\r\n");
        ASSERT_EQ(shoot(choices(SaveFormat::Jpeg, dir_.path())), ShotResult::Written);
        const fs::path file = dir_ / ("ALL_J0" + std::to_string(n++) + ".jpg");
        EXPECT_EQ(lumaTable(file), table) << "qualityrange " << range;
    }
    writeIni("[JPEG]\r\ngrayscale=1\r\n");
    ASSERT_EQ(shoot(choices(SaveFormat::Jpeg, dir_.path())), ShotResult::Written);
    const auto d = decodeJpeg(readFile(dir_ / ("ALL_J0" + std::to_string(n) + ".jpg")));
    EXPECT_EQ(d.components, 1);
    EXPECT_NEAR(d.pixels[5 * 320 + 5], 76, 4);  // red: 0.299 × 255
}

TEST_F(ShotFiles, NamesFollowModeFormatAndPrefixAndTheOutcomeNamesTheFile) {
    const struct {
        ShotMode mode;
        SaveFormat format;
        const char* prefix;  // null: the mode's own
        const char* name;
    } rows[] = {
        {ShotMode::AllScreen, SaveFormat::Jpeg, nullptr, "ALL_J00.jpg"},
        {ShotMode::AllScreen, SaveFormat::Bmp, nullptr, "ALL_B00.bmp"},
        {ShotMode::ActiveWindow, SaveFormat::Jpeg, nullptr, "Act_J00.jpg"},
        {ShotMode::ActiveWindow, SaveFormat::Bmp, nullptr, "Act_B00.bmp"},
        {ShotMode::ActiveWindow, SaveFormat::Bmp, "trip", "trip00.bmp"},
        {ShotMode::AllScreen, SaveFormat::Jpeg, "trip", "trip00.jpg"},
        {ShotMode::AllScreen, SaveFormat::Jpeg, "trip", "trip01.jpg"},
        {ShotMode::AllScreen, SaveFormat::Webp, nullptr, "ALL_W00.webp"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ShotChoices c = choices(row.format, dir_.path());
        c.mode = row.mode;
        c.FileNameCheck = row.prefix != nullptr;
        c.FileName = row.prefix ? row.prefix : "";
        const ShotOutcome outcome = shotNow(source_, c, JpegOptions{});
        EXPECT_EQ(outcome.result, ShotResult::Written);
        EXPECT_EQ(outcome.path, (dir_ / row.name).string());
        EXPECT_GT(fs::file_size(dir_ / row.name), 200u);
        EXPECT_EQ(source_.grabs().back().mode, row.mode)
            << "the source is asked for the chosen mode";
    }
}

TEST_F(ShotFiles, CaptureChoicesReachTheSourceUnlessItRefusesThem) {
    ShotChoices c = choices(SaveFormat::Bmp, dir_.path());
    c.capture = {MonitorChoice::UnderPointer, true, true, "", true};
    ASSERT_EQ(shoot(c), ShotResult::Written);
    EXPECT_EQ(source_.grabs().back().monitor, MonitorChoice::UnderPointer);
    EXPECT_TRUE(source_.grabs().back().pointer);

    source_.refuse(CaptureChoice::MonitorUnderPointer, text::kNoPointerMonitor);
    source_.refuse(CaptureChoice::Pointer, text::kNoPointerPicture);
    c.capture.output = "DP-2";
    ASSERT_EQ(shoot(c), ShotResult::Written);
    EXPECT_EQ(source_.grabs().back().monitor, MonitorChoice::Primary) << "refused: the default";
    EXPECT_FALSE(source_.grabs().back().pointer);
    EXPECT_EQ(source_.grabs().back().output, "DP-2") << "a named monitor is never dropped";
}

TEST_F(ShotFiles, JpegCreatesOneMissingFolderLevel) {
    const fs::path place = dir_ / "new";
    ASSERT_EQ(shoot(choices(SaveFormat::Jpeg, place)), ShotResult::Written);
    EXPECT_GT(fs::file_size(place / "ALL_J00.jpg"), 1000u);
}

TEST_F(ShotFiles, JpegTwoMissingLevelsFailsAndCreatesNoFolder) {
    const fs::path place = dir_ / "a" / "b";
    expectCreateError(SaveFormat::Jpeg, place, place / "ALL_J00.jpg", "フォルダが見つかりません");
    EXPECT_FALSE(fs::exists(dir_ / "a"));
}

TEST_F(ShotFiles, BmpMissingFolderFailsAndCreatesNothing) {
    const fs::path place = dir_ / "new";
    expectCreateError(SaveFormat::Bmp, place, place / "ALL_B00.bmp", "フォルダが見つかりません");
    EXPECT_FALSE(fs::exists(place));
}

TEST_F(ShotFiles, FolderWithTheFilesNameFailsAndStaysAFolder) {
    fs::create_directory(dir_ / "ALL_J00.jpg");
    expectCreateError(SaveFormat::Jpeg, dir_.path(), dir_ / "ALL_J00.jpg",
                      "同じ名前のフォルダがあります");
    EXPECT_TRUE(fs::is_directory(dir_ / "ALL_J00.jpg"));
}

// Root writes into any folder: as root, the shot runs in a child that has become nobody, for
// whom the folder is read-only as for any user.
TEST_F(ShotFiles, ReadOnlyFolderFailsWithTheReasonAndLeavesItEmpty) {
    const fs::path place = dir_ / "ro";
    fs::create_directory(place);
    chmod(place.c_str(), 0555);
    const std::string message = "ファイル \"" + (place / "ALL_B00.bmp").string() +
                                "\" を作成できません: アクセスが拒否されました";
    if (geteuid() == 0) {
        chmod(dir_.path().c_str(), 0755);
        EXPECT_EQ(childRaises(message,
                              [&] {
                                  test::becomeOrdinaryUser();
                                  shoot(choices(SaveFormat::Bmp, place));
                              }),
                  0);
    } else {
        expectCreateError(SaveFormat::Bmp, place, place / "ALL_B00.bmp",
                          "アクセスが拒否されました");
    }
    EXPECT_TRUE(fs::is_empty(place));
}

TEST_F(ShotFiles, AllHundredNamesTakenWritesNothing) {
    for (int n = 0; n < 100; ++n) {
        const char name[] = {'A', 'L', 'L', '_', 'B', char('0' + n / 10), char('0' + n % 10), 0};
        writeText(dir_ / (std::string(name) + ".bmp"), "x");
    }
    const ShotOutcome outcome = shotNow(source_, choices(SaveFormat::Bmp, dir_.path()), {});
    EXPECT_EQ(outcome.result, ShotResult::NoFreeName);
    EXPECT_EQ(outcome.path, "");
    EXPECT_EQ(entries(dir_.path()).size(), 100u);
    for (const auto& entry : fs::directory_iterator(dir_.path())) {
        if (entry.path().extension() == ".bmp") {
            EXPECT_EQ(fs::file_size(entry.path()), 1u);
        }
    }
}

// Another shot takes the name between the choice and the creation (a second instance, or a
// shortcut pressed twice): its file stays as it was, and this shot takes the next free number.
// The window's shot and the command line's (saveNumbered, a picture already taken) alike.
TEST_F(ShotFiles, ANameTakenMeanwhileIsLeftAndTheNextNumberUsed) {
    const struct {
        SaveFormat format;
        bool commandLine;
    } rows[] = {{SaveFormat::Jpeg, false},
                {SaveFormat::Bmp, false},
                {SaveFormat::Bmp, true},
                {SaveFormat::Png, true}};
    for (const auto [format, commandLine] : rows) {
        const std::string ext = format == SaveFormat::Jpeg  ? ".jpg"
                                : format == SaveFormat::Png ? ".png"
                                                            : ".bmp";
        const std::string taken =
            (dir_ / ("ALL_" + std::string(1, char(std::toupper(ext[1]))))).string();
        fs::remove(taken + "00" + ext);
        fs::remove(taken + "01" + ext);
        std::vector<std::string> chosen;
        const BeforeCreate otherShot = [&](const std::string& path) {
            chosen.push_back(path);
            if (chosen.size() == 1)
                writeText(path, "the other shot");
        };
        const ShotOutcome outcome =
            commandLine ? saveNumbered(bgrx(320, 240), choices(format, dir_.path()), {}, otherShot)
                        : shotNow(source_, choices(format, dir_.path()), {}, otherShot);
        EXPECT_EQ(chosen, (std::vector<std::string>{taken + "00" + ext, taken + "01" + ext}));
        EXPECT_EQ(outcome.path, taken + "01" + ext);
        EXPECT_EQ(readText(taken + "00" + ext), "the other shot");
        EXPECT_GT(fs::file_size(taken + "01" + ext), 1000u);
    }
}

// The shot writes through the descriptor it created: a name swapped for another file between the
// creation and the write leaves that file as it was, and the picture goes to the file created.
// A pipe (stdout) and memory (the clipboard) get the file's very bytes.
TEST_F(ShotFiles, TheCreatedDescriptorIsWrittenAndEveryWayOutGetsTheSameBytes) {
    const Picture picture = bgrx(320, 240);
    for (const SaveFormat format :
         {SaveFormat::Jpeg, SaveFormat::Bmp, SaveFormat::Png, SaveFormat::Webp}) {
        const ShotChoices c = choices(format, dir_.path());
        std::optional<OutputFile> file = createNextFile(c);
        ASSERT_TRUE(file);
        const std::string path = file->path();
        fs::rename(path, dir_ / "moved");
        writeText(path, "someone else's");
        writePicture(picture, format, *file, {});
        EXPECT_EQ(readText(path), "someone else's");
        const std::string written = readText(dir_ / "moved");
        EXPECT_GT(written.size(), 100u);
        fs::remove(path);

        MemorySink memory;
        writePicture(picture, format, memory, {});
        EXPECT_EQ(std::string(memory.bytes.begin(), memory.bytes.end()), written);
        int pipeEnds[2];
        ASSERT_EQ(pipe(pipeEnds), 0);
        std::string piped;
        std::thread reader([&] {
            char buffer[4096];
            for (ssize_t n; (n = read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
                piped.append(buffer, size_t(n));
        });
        {
            DescriptorSink out(pipeEnds[1]);
            writePicture(picture, format, out, {});
            close(pipeEnds[1]);
        }
        reader.join();
        close(pipeEnds[0]);
        EXPECT_EQ(piped, written);
    }
}

// A source that gives no pixels: its message reaches the caller as it is, and nothing is made on
// disk, not even the one folder level a JPEG shot would create.
TEST_F(ShotFiles, FailedGrabLeavesNoFileAndNoFolder) {
    const KvrError failures[] = {KvrError(text::kNoWindow, {}), KvrError(text::kNoResources, {})};
    for (const auto& failure : failures) {
        source_.failWith(failure);
        for (const SaveFormat format : {SaveFormat::Jpeg, SaveFormat::Bmp}) {
            try {
                shoot(choices(format, dir_ / "new"));
                ADD_FAILURE() << "no error";
            } catch (const KvrError& e) {
                EXPECT_STREQ(e.what(), failure.what());
                EXPECT_EQ(e.text(), failure.text());
            }
        }
    }
    EXPECT_EQ(entries(dir_.path()), std::vector<std::string>{});

    // Nor does an encoder that fails (wider than JPEG allows): the numbered file and the folder
    // made for it go again.
    FakeScreenSource wide{bgrx(65501, 1)};
    EXPECT_THROW(shotNow(wide, choices(SaveFormat::Jpeg, dir_ / "new"), {}), KvrError);
    EXPECT_THROW(shotNow(wide, choices(SaveFormat::Jpeg, dir_.path()), {}), KvrError);
    EXPECT_EQ(entries(dir_.path()), std::vector<std::string>{});
}

}  // namespace
}  // namespace kvr
