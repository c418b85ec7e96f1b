// The options dialog in the built program: "Opt", a new quality and a prefix, "閉じる", then a
// shot; the picture carries the prefix and the new quality's tables.
#include <gtest/gtest.h>
#include <webp/decode.h>

#include "e2e_support.h"
#include "jpeg_support.h"

namespace {

using namespace kvr::e2e;
using namespace kvr::test;

// Places in the options dialog at 96 dpi, its own 16-pixel caption included, as designed (242
// pixels wide). The dialog widens until its tabs fit, which depends on the fonts: the close button
// keeps its distance from the right edge, each page's controls move by half the growth, and the
// pages are reached by Ctrl+Tab rather than by where their tabs happen to be.
constexpr int kDesignWidth = 242;
constexpr int kQualityList[] = {146, 68};
constexpr int kCheckBox[] = {41, 65};
constexpr int kPrefixBox[] = {114, 91};
constexpr int kClose[] = {212, 165};
constexpr int kMonitorList[] = {122, 69};
constexpr int kPointerBox[] = {30, 92};
constexpr int kClipboardBox[] = {30, 109};

// How much wider than designed the dialog came out.
int growth(const Program& program, unsigned long dialog) {
    int width = 0;
    const std::string out =
        program.run({"xdotool", "getwindowgeometry", "--shell", std::to_string(dialog)}).output;
    std::sscanf(out.c_str(), "WINDOW=%*d X=%*d Y=%*d WIDTH=%d", &width);
    return width > kDesignWidth ? width - kDesignWidth : 0;
}

// The luminance quantisation table stored in a JPEG file.
std::vector<uint8_t> lumaTable(const fs::path& path) {
    const auto layout = parseJpeg(readFile(path));
    const auto& p = layout.segments.at(2).payload;
    return {p.begin() + 1, p.end()};
}

TEST(EndToEndOptions, NewQualityAndPrefixReachTheNextShot) {
    Program program;
    ASSERT_TRUE(program.start()) << program.log();
    program.click(kOpt[0], kOpt[1]);
    const auto dialog = program.findWindow("^設定$");
    ASSERT_TRUE(dialog) << program.log();
    const int grow = growth(program, *dialog);

    // Quality: "最高画質(低圧縮率)", the last item of the list, puts the slider at 8.
    program.keys({"ctrl+Tab"});
    program.click(kQualityList[0] + grow / 2, kQualityList[1], *dialog);
    program.run({"xdotool", "sleep", "0.3", "key", "--delay", "100", "End", "Return"});
    // Prefix: tick the box, type into the prefix box.
    program.keys({"ctrl+Tab"});
    program.click(kCheckBox[0] + grow / 2, kCheckBox[1], *dialog);
    program.click(kPrefixBox[0] + grow / 2, kPrefixBox[1], *dialog);
    program.run({"xdotool", "type", "--delay", "50", "trip"});
    program.click(kClose[0] + grow, kClose[1], *dialog);
    ASSERT_TRUE(program.waitForWindowGone("^設定$", 5s)) << "閉じる closes the dialog";
    const std::string ini = readText(program.settingsFile());
    EXPECT_NE(ini.find("qualityrange=8"), std::string::npos) << ini;
    EXPECT_NE(ini.find("filenamecheck=1"), std::string::npos) << ini;
    EXPECT_NE(ini.find("filename=trip"), std::string::npos) << ini;

    program.click(kAllScreen[0], kAllScreen[1]);
    program.click(kShot[0], kShot[1]);
    const fs::path picture = program.desktop() / "trip00.jpg";
    ASSERT_TRUE(program.waitForFile(picture, 10s))
        << program.run({"ls", "-la", program.desktop().string()}).output << program.log();
    ASSERT_TRUE(program.waitForTitle("Kelvoro", 10s));
    ASSERT_NO_THROW(decodeJpeg(readFile(picture)));
    EXPECT_EQ(lumaTable(picture), expectedQuantTable(false, 80));
}

// The width and height in a PNG's header.
std::pair<int, int> pngSize(const std::string& png) {
    if (png.size() < 24 || png.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0)
        return {0, 0};
    const auto word = [&](size_t at) {
        return int(uint8_t(png[at])) << 24 | int(uint8_t(png[at + 1])) << 16 |
               int(uint8_t(png[at + 2])) << 8 | int(uint8_t(png[at + 3]));
    };
    return {word(16), word(20)};
}

TEST(EndToEndOptions, CapturePageChoicesThenTheShotIsOnTheClipboard) {
    Program program;
    ASSERT_TRUE(program.start()) << program.log();
    program.click(kOpt[0], kOpt[1]);
    const auto dialog = program.findWindow("^設定$");
    ASSERT_TRUE(dialog) << program.log();
    const int grow = growth(program, *dialog);
    // The last page, "撮影": all monitors (the list's last item), the pointer, the clipboard.
    program.keys({"ctrl+Tab", "ctrl+Tab", "ctrl+Tab", "ctrl+Tab"});
    program.click(kMonitorList[0] + grow / 2, kMonitorList[1], *dialog);
    program.run({"xdotool", "sleep", "0.3", "key", "--delay", "100", "End", "Return"});
    program.click(kPointerBox[0] + grow / 2, kPointerBox[1], *dialog);
    program.click(kClipboardBox[0] + grow / 2, kClipboardBox[1], *dialog);
    program.click(kClose[0] + grow, kClose[1], *dialog);
    ASSERT_TRUE(program.waitForWindowGone("^設定$", 5s)) << "閉じる closes the dialog";
    const std::string ini = readText(program.settingsFile());
    EXPECT_NE(ini.find("[Capture]\nmonitor=2\npointer=1\nclipboard=1\n"), std::string::npos) << ini;

    program.click(kAllScreen[0], kAllScreen[1]);
    program.click(kShot[0], kShot[1]);
    const fs::path picture = program.desktop() / "ALL_J00.jpg";
    ASSERT_TRUE(program.waitForFile(picture, 10s)) << program.log();
    ASSERT_TRUE(program.waitForTitle("Kelvoro", 10s));
    const Decoded shot = decodeJpeg(readFile(picture));
    // The program holds the clipboard once its window is back: the picture and the file.
    std::string png;
    for (int tries = 0; tries < 50 && pngSize(png).first == 0; ++tries) {
        png = program.run({"xclip", "-selection", "clipboard", "-t", "image/png", "-o"}).output;
        if (pngSize(png).first == 0)
            program.run({"sleep", "0.2"});
    }
    EXPECT_EQ(pngSize(png), std::make_pair(shot.width, shot.height));
    const std::string webp =
        program.run({"xclip", "-selection", "clipboard", "-t", "image/webp", "-o"}).output;
    int width = 0, height = 0;
    EXPECT_TRUE(
        WebPGetInfo(reinterpret_cast<const uint8_t*>(webp.data()), webp.size(), &width, &height));
    EXPECT_EQ(std::make_pair(width, height), std::make_pair(shot.width, shot.height));
    const std::string uris =
        program.run({"xclip", "-selection", "clipboard", "-t", "text/uri-list", "-o"}).output;
    EXPECT_NE(uris.find("file://" + picture.string()), std::string::npos) << uris;
}

}  // namespace
