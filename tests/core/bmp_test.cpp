// BMP files from made-up pictures of every display format, checked to the byte.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "base/error.h"
#include "core/bmp.h"
#include "core/outfile.h"
#include "file_support.h"

namespace kvr {
namespace {

namespace fs = std::filesystem;

using Bytes = std::vector<uint8_t>;
using test::le16;
using test::TempDir;

// The file's bytes from offset from up to to (the end when 0).
Bytes part(const Bytes& f, size_t from, size_t to = 0) {
    return Bytes(f.begin() + from, to ? f.begin() + to : f.end());
}

Bytes saved(const Picture& p) {
    TempDir dir;
    saveBmp(p, dir / "p.bmp");
    return test::readFile(dir / "p.bmp");
}

// The two headers, which every depth shares but for the counts.
void checkHeaders(const Bytes& f, int width, int height, int bpp, int colours) {
    const uint32_t stride = (uint32_t(width) * bpp + 31) / 32 * 4;
    const uint32_t off = 54 + 4 * colours;
    ASSERT_EQ(f.size(), off + stride * height);
    Bytes expected = {'B', 'M'};
    const auto put = [&](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            expected.push_back(uint8_t(v >> 8 * i));
    };
    put(uint32_t(f.size()), 4), put(0, 4), put(off, 4), put(40, 4), put(width, 4);
    put(height, 4), put(1, 2), put(bpp, 2), put(0, 4), put(stride * height, 4);
    put(0, 4), put(0, 4), put(colours, 4), put(0, 4);
    EXPECT_EQ(part(f, 0, 54), expected);
}

TEST(BmpDepth32, BlueGreenRedOpaqueBottomUpWhateverTheServerLeavesInTheFourthByte) {
    Picture p = makeOwnedPicture(2, 2, 32, 8);
    const uint8_t bytes[] = {0x10, 0x20, 0x30, 0xff, 0x11, 0x21, 0x31, 0x7f,   // top row
                             0x12, 0x22, 0x32, 0xaa, 0x13, 0x23, 0x33, 0x01};  // bottom row
    std::memcpy(mutablePixels(p), bytes, sizeof bytes);
    const auto f = saved(p);
    checkHeaders(f, 2, 2, 32, 0);
    const std::vector<uint8_t> pixels(f.begin() + 54, f.end());
    EXPECT_EQ(pixels, (Bytes{0x12, 0x22, 0x32, 0xff, 0x13, 0x23, 0x33, 0xff,  //
                             0x10, 0x20, 0x30, 0xff, 0x11, 0x21, 0x31, 0xff}));
}

TEST(BmpFile, ScreenDensityInPixelsPerMetre) {
    Picture p = makeOwnedPicture(1, 1, 32, 4);
    p.dotsPerInch = 96;
    const auto f = saved(p);
    EXPECT_EQ(part(f, 38, 46), (Bytes{0xc4, 0x0e, 0, 0, 0xc4, 0x0e, 0, 0}));  // 3780
}

TEST(BmpDepth32, BigEndianServerAndTenBitChannels) {
    Picture msb = makeOwnedPicture(1, 1, 32, 4);
    msb.byteOrder = ByteOrder::MsbFirst;
    const uint8_t xrgb[] = {0xee, 0xc0, 0x80, 0x40};  // X, R, G, B
    std::memcpy(mutablePixels(msb), xrgb, 4);
    auto f = saved(msb);
    EXPECT_EQ(part(f, 54), (Bytes{0x40, 0x80, 0xc0, 0xff}));

    // Depth 30: 10 bits a channel, taken to their top 8 bits.
    Picture deep = makeOwnedPicture(1, 1, 32, 4);
    deep.redMask = 0x3ff00000;
    deep.greenMask = 0x000ffc00;
    deep.blueMask = 0x000003ff;
    const uint32_t v = (0x3ffu << 20) | (0x200u << 10) | 0x007u;
    std::memcpy(mutablePixels(deep), &v, 4);
    f = saved(deep);
    EXPECT_EQ(le16(f, 28), 32);
    EXPECT_EQ(part(f, 54), (Bytes{0x01, 0x80, 0xff, 0xff}));
}

TEST(BmpDepth24, RowsPaddedToFourBytesInBothByteOrders) {
    for (ByteOrder order : {ByteOrder::LsbFirst, ByteOrder::MsbFirst}) {
        Picture p = makeOwnedPicture(3, 1, 24, 9);
        p.byteOrder = order;
        uint8_t* px = mutablePixels(p);
        for (int x = 0; x < 3; ++x) {
            const uint8_t r = uint8_t(0x10 * (x + 1)), g = uint8_t(r + 1), b = uint8_t(r + 2);
            if (order == ByteOrder::LsbFirst) {
                px[x * 3] = b, px[x * 3 + 1] = g, px[x * 3 + 2] = r;
            } else {
                px[x * 3] = r, px[x * 3 + 1] = g, px[x * 3 + 2] = b;
            }
        }
        const auto f = saved(p);
        checkHeaders(f, 3, 1, 24, 0);
        EXPECT_EQ(part(f, 54),
                  (Bytes{0x12, 0x11, 0x10, 0x22, 0x21, 0x20, 0x32, 0x31, 0x30, 0, 0, 0}));
    }
}

TEST(BmpDepth16, FiveSixFiveBecomesFiveFiveFiveWithBit15Clear) {
    for (ByteOrder order : {ByteOrder::LsbFirst, ByteOrder::MsbFirst}) {
        Picture p = makeOwnedPicture(3, 1, 16, 6);
        p.byteOrder = order;
        p.redMask = 0xf800, p.greenMask = 0x07e0, p.blueMask = 0x001f;
        const uint16_t in[] = {0xf800, 0x07e0, 0x001f};  // red, green, blue
        for (int x = 0; x < 3; ++x) {
            const uint8_t hi = uint8_t(in[x] >> 8), lo = uint8_t(in[x]);
            mutablePixels(p)[x * 2] = order == ByteOrder::LsbFirst ? lo : hi;
            mutablePixels(p)[x * 2 + 1] = order == ByteOrder::LsbFirst ? hi : lo;
        }
        const auto f = saved(p);
        checkHeaders(f, 3, 1, 16, 0);
        EXPECT_EQ(le16(f, 54), 0x7c00);
        EXPECT_EQ(le16(f, 56), 0x03e0);
        EXPECT_EQ(le16(f, 58), 0x001f);
        EXPECT_EQ(le16(f, 60), 0);  // padding
    }
}

TEST(BmpDepth16, FiveFiveFiveDisplayKeepsItsValuesButNotBit15) {
    Picture p = makeOwnedPicture(2, 1, 16, 4);
    p.redMask = 0x7c00, p.greenMask = 0x03e0, p.blueMask = 0x001f;
    const uint8_t bytes[] = {0x34, 0x92, 0xff, 0xff};  // 0x9234 (bit 15 set), 0xffff
    std::memcpy(mutablePixels(p), bytes, 4);
    const auto f = saved(p);
    EXPECT_EQ(le16(f, 54), 0x1234);
    EXPECT_EQ(le16(f, 56), 0x7fff);
}

TEST(BmpPalette, EightBitIndicesWithTheDisplaysColourTable) {
    Picture p = makeOwnedPicture(2, 2, 8, 4);
    p.palette.resize(256);
    p.palette[7] = {200, 100, 50};
    p.palette[255] = {1, 2, 3};
    const uint8_t bytes[] = {7, 255, 0, 0, 255, 7, 0, 0};
    std::memcpy(mutablePixels(p), bytes, sizeof bytes);
    const auto f = saved(p);
    checkHeaders(f, 2, 2, 8, 256);
    EXPECT_EQ(part(f, 54 + 7 * 4, 54 + 8 * 4), (Bytes{50, 100, 200, 0}));
    EXPECT_EQ(part(f, 54 + 255 * 4, 54 + 256 * 4), (Bytes{3, 2, 1, 0}));
    const size_t px = 54 + 1024;
    EXPECT_EQ(part(f, px), (Bytes{255, 7, 0, 0, 7, 255, 0, 0}));
}

TEST(BmpPalette, FourBitLeftmostPixelInTheHighNibbleWhateverTheServerOrder) {
    for (ByteOrder order : {ByteOrder::MsbFirst, ByteOrder::LsbFirst}) {
        Picture p = makeOwnedPicture(3, 1, 4, 4);
        p.bitOrder = order;
        p.palette.resize(16);
        p.palette[0xa] = {10, 20, 30};
        // Pixels a, 5, c.
        if (order == ByteOrder::MsbFirst) {
            mutablePixels(p)[0] = 0xa5, mutablePixels(p)[1] = 0xc7;  // 7: beyond the width
        } else {
            mutablePixels(p)[0] = 0x5a, mutablePixels(p)[1] = 0x7c;
        }
        const auto f = saved(p);
        checkHeaders(f, 3, 1, 4, 16);
        EXPECT_EQ(part(f, 54 + 40, 54 + 44), (Bytes{30, 20, 10, 0}));
        EXPECT_EQ(part(f, 54 + 64), (Bytes{0xa5, 0xc0, 0, 0}));
    }
}

TEST(BmpPalette, OneBitIsBlackThenWhiteEvenWhenTheDisplayHasWhiteAtZero) {
    Picture p = makeOwnedPicture(10, 1, 1, 4);
    p.bitOrder = ByteOrder::LsbFirst;
    p.palette = {{255, 255, 255}, {0, 0, 0}};
    mutablePixels(p)[0] = 0x01;  // pixel 0 black, 1..7 white (LSB first)
    mutablePixels(p)[1] = 0x02;  // pixel 8 white, 9 black
    const auto f = saved(p);
    checkHeaders(f, 10, 1, 1, 2);
    EXPECT_EQ(part(f, 54, 62), (Bytes{0, 0, 0, 0, 255, 255, 255, 0}));
    EXPECT_EQ(part(f, 62), (Bytes{0x7f, 0x80, 0, 0}));
}

TEST(BmpPalette, TrueColourEightBitGetsItsTableFromTheMasks) {
    Picture p = makeOwnedPicture(1, 1, 8, 4);
    p.redMask = 0xe0, p.greenMask = 0x1c, p.blueMask = 0x03;  // 3-3-2
    mutablePixels(p)[0] = 0xe3;
    const auto f = saved(p);
    EXPECT_EQ(part(f, 54 + 0xe3 * 4, 58 + 0xe3 * 4), (Bytes{255, 0, 255, 0}));
}

TEST(BmpFile, EmptyPictureGivesAnEmptyFileAndOneRowIsAValidFile) {
    TempDir dir;
    Picture empty = makeOwnedPicture(0, 5, 32, 0);
    saveBmp(empty, dir / "e.bmp");
    EXPECT_EQ(fs::file_size(dir / "e.bmp"), 0u);

    Picture row = makeOwnedPicture(5, 1, 32, 20);
    const auto f = saved(row);
    checkHeaders(f, 5, 1, 32, 0);
}

TEST(BmpFile, AnExistingFileIsReplaced) {
    TempDir dir;
    test::writeText(dir / "p.bmp", std::string(100000, 'x'));
    saveBmp(makeOwnedPicture(1, 1, 32, 4), dir / "p.bmp");
    EXPECT_EQ(fs::file_size(dir / "p.bmp"), 58u);
}

TEST(BmpFile, CreateErrorNamesTheFullPathAndTheReason) {
    TempDir dir;
    const std::string cwd = fs::current_path();
    fs::current_path(dir.path());
    try {
        saveBmp(makeOwnedPicture(1, 1, 32, 4), "missing/./x/../p.bmp");
        ADD_FAILURE() << "no error";
    } catch (const KvrError& e) {
        EXPECT_EQ(std::string(e.what()), "ファイル \"" + (dir.path() / "missing/p.bmp").string() +
                                             "\" を作成できません: フォルダが見つかりません");
    }
    fs::current_path(cwd);
    fs::create_directory(dir / "d.bmp");
    EXPECT_THROW(saveBmp(makeOwnedPicture(1, 1, 32, 4), dir / "d.bmp"), KvrError);
    EXPECT_TRUE(fs::is_directory(dir / "d.bmp"));
    EXPECT_EQ(reasonText(EISDIR), "Is a directory");
}

// The usual reasons have the program's own text (translated with the message); any other is
// the system's.
TEST(BmpFile, CreateErrorReasonsTable) {
    const std::pair<int, const char*> table[] = {
        {EACCES, text::kReasonAccess},   {EROFS, text::kReasonReadOnly},
        {ENOSPC, text::kReasonNoSpace},  {EDQUOT, text::kReasonQuota},
        {ENOENT, text::kReasonNoFolder}, {ENOTDIR, text::kReasonNotFolder},
        {EISDIR, text::kReasonIsFolder}, {ENAMETOOLONG, text::kReasonNameTooLong},
        {EEXIST, text::kReasonExists},   {ELOOP, text::kReasonSymbolicLink},
        {EFBIG, text::kReasonTooLarge},  {EIO, "Input/output error"},
    };
    for (const auto& [code, reason] : table) {
        const KvrError e = fileCreateError("/x/p.bmp", code);
        EXPECT_EQ(std::string(e.what()), fillText(text::kCannotCreateFile, {"/x/p.bmp", reason}));
        EXPECT_EQ(e.lastValueIsText(), code != EIO) << code;
    }
}

}  // namespace
}  // namespace kvr
