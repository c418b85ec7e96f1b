// Whole shots through shotNow: the settings read at each JPEG shot, and what each failure leaves
// on disk.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <X11/Xlib.h>

#include <fstream>
#include <memory>

#include "base/error.h"
#include "core/settings.h"
#include "core/shot.h"
#include "jpeg_support.h"
#include "platform/x11/display.h"
#include "xserver.h"
#include "xtest_support.h"

namespace kvr {
namespace {

namespace fs = std::filesystem;
using namespace kvr::test;

class ShotFiles : public OnServer<320, 240, false> {
protected:
    ShotChoices choices(SaveFormat format, const fs::path& place) const {
        ShotChoices c;
        c.mode = ShotMode::AllScreen;
        c.format = format;
        c.Place = place.string();
        return c;
    }
    void writeIni(const std::string& text) { std::ofstream(dir_ / "kvr.ini") << text; }

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
            EXPECT_EQ(e.what(),
                      "ファイル \"" + path.string() + "\". " + reason + " を作成できません");
        }
    }
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

TEST_F(ShotFiles, JpegCreatesOneMissingFolderLevel) {
    const fs::path place = dir_ / "new";
    ASSERT_EQ(shoot(choices(SaveFormat::Jpeg, place)), ShotResult::Written);
    EXPECT_GT(fs::file_size(place / "ALL_J00.jpg"), 1000u);
}

TEST_F(ShotFiles, JpegTwoMissingLevelsFailsAndCreatesNoFolder) {
    const fs::path place = dir_ / "a" / "b";
    expectCreateError(SaveFormat::Jpeg, place, place / "ALL_J00.jpg", "No such file or directory");
    EXPECT_FALSE(fs::exists(dir_ / "a"));
}

TEST_F(ShotFiles, BmpMissingFolderFailsAndCreatesNothing) {
    const fs::path place = dir_ / "new";
    expectCreateError(SaveFormat::Bmp, place, place / "ALL_B00.bmp", "No such file or directory");
    EXPECT_FALSE(fs::exists(place));
}

TEST_F(ShotFiles, FolderWithTheFilesNameFailsAndStaysAFolder) {
    fs::create_directory(dir_ / "ALL_J00.jpg");
    expectCreateError(SaveFormat::Jpeg, dir_.path(), dir_ / "ALL_J00.jpg", "Is a directory");
    EXPECT_TRUE(fs::is_directory(dir_ / "ALL_J00.jpg"));
}

TEST_F(ShotFiles, ReadOnlyFolderFailsWithTheReason) {
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders";
    fs::create_directory(dir_ / "ro");
    chmod((dir_ / "ro").c_str(), 0555);
    EXPECT_THROW(shoot(choices(SaveFormat::Bmp, dir_ / "ro")), KvrError);
    EXPECT_TRUE(fs::is_empty(dir_ / "ro"));
}

TEST_F(ShotFiles, AllHundredNamesTakenWritesNothing) {
    for (int n = 0; n < 100; ++n) {
        const char name[] = {'A', 'L', 'L', '_', 'B', char('0' + n / 10), char('0' + n % 10), 0};
        std::ofstream(dir_ / (std::string(name) + ".bmp")) << "x";
    }
    EXPECT_EQ(shoot(choices(SaveFormat::Bmp, dir_.path())), ShotResult::NoFreeName);
    for (const auto& entry : fs::directory_iterator(dir_.path())) {
        if (entry.path().extension() == ".bmp") {
            EXPECT_EQ(fs::file_size(entry.path()), 1u);
        }
    }
}

TEST_F(ShotFiles, PlainGetImageGivesTheSamePixelsAsSharedMemory) {
    const Picture shared = source_.grab(ShotMode::AllScreen);
    const std::vector<uint8_t> viaShm(shared.pixels, shared.pixels + shared.stride * 240);
    x11::connection().shmUsable = false;  // as on a remote display
    const Picture plain = source_.grab(ShotMode::AllScreen);
    x11::connection().shmUsable = true;
    ASSERT_EQ(plain.stride, shared.stride);
    EXPECT_NE(plain.pixels, shared.pixels);
    EXPECT_EQ(std::vector<uint8_t>(plain.pixels, plain.pixels + plain.stride * 240), viaShm);
}

// The server goes away between shots: an error message, never the end of the program; the next
// server is found again.
TEST(LostDisplay, ServerGoneIsAnErrorAndTheNextServerWorks) {
    TempDir dir;
    ShotChoices c;
    c.mode = ShotMode::AllScreen;
    c.format = SaveFormat::Bmp;
    c.Place = dir.path().string();
    x11::X11ScreenSource source;
    const auto shoot = [&](const ShotChoices& c) {
        return shotNow(source, c, JpegOptions{}).result;
    };
    std::string name;
    {
        XServer first(XServer::Options{160, 120, 24, false});
        first.exportDisplay();
        name = first.display();
        ASSERT_EQ(shoot(c), ShotResult::Written);
    }
    for (int i = 0; i < 2; ++i) {
        try {
            shoot(c);
            ADD_FAILURE() << "no error";
        } catch (const KvrError& e) {
            EXPECT_STREQ(e.what(), "システム リソースが足りません");
        }
    }
    XServer second(XServer::Options{200, 100, 24, false});
    second.exportDisplay();
    ASSERT_EQ(shoot(c), ShotResult::Written);
    const auto f = readFile(dir / "ALL_B01.bmp");
    ASSERT_GE(f.size(), 26u);
    EXPECT_EQ(f[18], 200);
    EXPECT_EQ(f[22], 100);
}

}  // namespace
}  // namespace kvr
