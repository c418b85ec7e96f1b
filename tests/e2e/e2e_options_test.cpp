// The options dialog in the built program: "Opt", a new quality and a prefix, "閉じる", then a
// shot; the picture carries the prefix and the new quality's tables.
#include <gtest/gtest.h>
#include <jpeglib.h>

#include <array>
#include <cstdio>
#include <memory>

#include "e2e_support.h"

namespace {

using namespace kvr::e2e;

// Places at 96 dpi: the main window's buttons, then the options dialog's controls (its own
// 16-pixel caption included).
constexpr int kAllScreen[] = {66, 62};
constexpr int kOpt[] = {154, 75};
constexpr int kShot[] = {175, 111};
constexpr int kJpegTab[] = {74, 28};
constexpr int kFileNameTab[] = {139, 28};
constexpr int kQualityList[] = {146, 68};
constexpr int kCheckBox[] = {41, 65};
constexpr int kPrefixBox[] = {114, 91};
constexpr int kClose[] = {212, 148};

using Table = std::array<unsigned, 64>;

// The luminance table libjpeg makes for a quality, in natural order.
Table tableForQuality(int quality) {
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    c.in_color_space = JCS_RGB;
    c.input_components = 3;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    Table t{};
    for (int i = 0; i < 64; ++i)
        t[i] = c.quant_tbl_ptrs[0]->quantval[i];
    jpeg_destroy_compress(&c);
    return t;
}

// The luminance table stored in a JPEG file, in natural order.
std::optional<Table> tableInFile(const fs::path& path) {
    const std::string bytes = readFile(path);
    jpeg_decompress_struct d{};
    jpeg_error_mgr err{};
    d.err = jpeg_std_error(&err);
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    std::optional<Table> t;
    if (bytes.size() > 4 && jpeg_read_header(&d, TRUE) == JPEG_HEADER_OK && d.quant_tbl_ptrs[0]) {
        t.emplace();
        for (int i = 0; i < 64; ++i)
            (*t)[i] = d.quant_tbl_ptrs[0]->quantval[i];
    }
    jpeg_destroy_decompress(&d);
    return t;
}

TEST(EndToEndOptions, NewQualityAndPrefixReachTheNextShot) {
    ASSERT_NE(tableForQuality(80), tableForQuality(30)) << "the tables tell the qualities apart";
    Program program;
    ASSERT_TRUE(program.start()) << program.log();
    program.click(kOpt[0], kOpt[1]);
    const auto dialog = program.findWindow("^設定$");
    ASSERT_TRUE(dialog) << program.log();

    // Quality: "最高画質(低圧縮率)", the last item of the list, puts the slider at 8.
    program.click(kJpegTab[0], kJpegTab[1], *dialog);
    program.click(kQualityList[0], kQualityList[1], *dialog);
    program.run({"xdotool", "sleep", "0.3", "key", "--delay", "100", "End", "Return"});
    // Prefix: tick the box, type into the prefix box.
    program.click(kFileNameTab[0], kFileNameTab[1], *dialog);
    program.click(kCheckBox[0], kCheckBox[1], *dialog);
    program.click(kPrefixBox[0], kPrefixBox[1], *dialog);
    program.run({"xdotool", "type", "--delay", "50", "trip"});
    program.click(kClose[0], kClose[1], *dialog);
    ASSERT_FALSE(program.findWindow("^設定$", 2s)) << "閉じる closes the dialog";
    const std::string ini = readFile(program.settingsFile());
    EXPECT_NE(ini.find("qualityrange=8"), std::string::npos) << ini;
    EXPECT_NE(ini.find("filenamecheck=1"), std::string::npos) << ini;
    EXPECT_NE(ini.find("filename=trip"), std::string::npos) << ini;

    program.click(kAllScreen[0], kAllScreen[1]);
    program.click(kShot[0], kShot[1]);
    const fs::path picture = program.desktop() / "trip00.jpg";
    ASSERT_TRUE(program.waitForFile(picture, 10s))
        << program.run({"ls", "-la", program.desktop().string()}).output << program.log();
    ASSERT_TRUE(program.waitForTitle("Kelvoro", 10s));
    ASSERT_TRUE(decodeJpeg(picture).has_value());
    EXPECT_EQ(tableInFile(picture), std::optional<Table>(tableForQuality(80)));
}

}  // namespace
