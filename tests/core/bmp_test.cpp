// BMP files from made-up pictures of every display format, checked to the byte.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/bmp.h"
#include "core/error.h"
#include "core/outfile.h"

namespace kvr {
namespace {

namespace fs = std::filesystem;

uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}
uint16_t le16(const std::vector<uint8_t>& b, size_t at) {
    return uint16_t(b[at] | b[at + 1] << 8);
}

std::vector<uint8_t> readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class TempDir {
public:
    TempDir() {
        char tmpl[] = "/tmp/kvr-bmp-XXXXXX";
        path_ = mkdtemp(tmpl);
    }
    ~TempDir() { fs::remove_all(path_); }
    fs::path operator/(const std::string& name) const { return path_ / name; }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

// A picture whose bytes the test sets one by one.
Picture picture(int width, int height, int bpp, size_t stride) {
    return makeOwnedPicture(width, height, bpp, stride);
}

std::vector<uint8_t> saved(const Picture& p) {
    TempDir dir;
    saveBmp(p, dir / "p.bmp");
    return readFile(dir / "p.bmp");
}

// Header fields common to every depth.
void checkHeaders(const std::vector<uint8_t>& f, int width, int height, int bpp, int colours) {
    const uint32_t stride = (uint32_t(width) * bpp + 31) / 32 * 4;
    const uint32_t off = 54 + 4 * colours;
    ASSERT_EQ(f.size(), off + stride * height);
    EXPECT_EQ(f[0], 'B');
    EXPECT_EQ(f[1], 'M');
    EXPECT_EQ(le32(f, 2), f.size());
    EXPECT_EQ(le32(f, 6), 0u);
    EXPECT_EQ(le32(f, 10), off);
    EXPECT_EQ(le32(f, 14), 40u);
    EXPECT_EQ(le32(f, 18), uint32_t(width));
    EXPECT_EQ(le32(f, 22), uint32_t(height));
    EXPECT_EQ(le16(f, 26), 1);
    EXPECT_EQ(le16(f, 28), bpp);
    EXPECT_EQ(le32(f, 30), 0u);
    EXPECT_EQ(le32(f, 34), stride * height);
    EXPECT_EQ(le32(f, 38), 0u);
    EXPECT_EQ(le32(f, 42), 0u);
    EXPECT_EQ(le32(f, 46), uint32_t(colours));
    EXPECT_EQ(le32(f, 50), 0u);
}

TEST(BmpDepth32, BlueGreenRedZeroBottomUpWhateverTheServerLeavesInTheFourthByte) {
    Picture p = picture(2, 2, 32, 8);
    const uint8_t bytes[] = {0x10, 0x20, 0x30, 0xff, 0x11, 0x21, 0x31, 0x7f,   // top row
                             0x12, 0x22, 0x32, 0xaa, 0x13, 0x23, 0x33, 0x01};  // bottom row
    std::memcpy(mutablePixels(p), bytes, sizeof bytes);
    const auto f = saved(p);
    checkHeaders(f, 2, 2, 32, 0);
    const std::vector<uint8_t> pixels(f.begin() + 54, f.end());
    EXPECT_EQ(pixels, (std::vector<uint8_t>{0x12, 0x22, 0x32, 0, 0x13, 0x23, 0x33, 0,  //
                                            0x10, 0x20, 0x30, 0, 0x11, 0x21, 0x31, 0}));
}

TEST(BmpDepth32, BigEndianServerAndTenBitChannels) {
    Picture msb = picture(1, 1, 32, 4);
    msb.byteOrder = ByteOrder::MsbFirst;
    const uint8_t xrgb[] = {0xee, 0xc0, 0x80, 0x40};  // X, R, G, B
    std::memcpy(mutablePixels(msb), xrgb, 4);
    auto f = saved(msb);
    EXPECT_EQ(std::vector<uint8_t>(f.begin() + 54, f.end()),
              (std::vector<uint8_t>{0x40, 0x80, 0xc0, 0}));

    // Depth 30: 10 bits a channel, taken to their top 8 bits.
    Picture deep = picture(1, 1, 32, 4);
    deep.redMask = 0x3ff00000;
    deep.greenMask = 0x000ffc00;
    deep.blueMask = 0x000003ff;
    const uint32_t v = (0x3ffu << 20) | (0x200u << 10) | 0x007u;
    std::memcpy(mutablePixels(deep), &v, 4);
    f = saved(deep);
    EXPECT_EQ(le16(f, 28), 32);
    EXPECT_EQ(std::vector<uint8_t>(f.begin() + 54, f.end()),
              (std::vector<uint8_t>{0x01, 0x80, 0xff, 0}));
}

TEST(BmpDepth24, RowsPaddedToFourBytesInBothByteOrders) {
    for (ByteOrder order : {ByteOrder::LsbFirst, ByteOrder::MsbFirst}) {
        Picture p = picture(3, 1, 24, 9);
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
        EXPECT_EQ(
            std::vector<uint8_t>(f.begin() + 54, f.end()),
            (std::vector<uint8_t>{0x12, 0x11, 0x10, 0x22, 0x21, 0x20, 0x32, 0x31, 0x30, 0, 0, 0}));
    }
}

TEST(BmpDepth16, FiveSixFiveBecomesFiveFiveFiveWithBit15Clear) {
    for (ByteOrder order : {ByteOrder::LsbFirst, ByteOrder::MsbFirst}) {
        Picture p = picture(3, 1, 16, 6);
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
    Picture p = picture(2, 1, 16, 4);
    p.redMask = 0x7c00, p.greenMask = 0x03e0, p.blueMask = 0x001f;
    const uint8_t bytes[] = {0x34, 0x92, 0xff, 0xff};  // 0x9234 (bit 15 set), 0xffff
    std::memcpy(mutablePixels(p), bytes, 4);
    const auto f = saved(p);
    EXPECT_EQ(le16(f, 54), 0x1234);
    EXPECT_EQ(le16(f, 56), 0x7fff);
}

TEST(BmpPalette, EightBitIndicesWithTheDisplaysColourTable) {
    Picture p = picture(2, 2, 8, 4);
    p.palette.resize(256);
    p.palette[7] = {200, 100, 50};
    p.palette[255] = {1, 2, 3};
    const uint8_t bytes[] = {7, 255, 0, 0, 255, 7, 0, 0};
    std::memcpy(mutablePixels(p), bytes, sizeof bytes);
    const auto f = saved(p);
    checkHeaders(f, 2, 2, 8, 256);
    EXPECT_EQ(std::vector<uint8_t>(f.begin() + 54 + 7 * 4, f.begin() + 54 + 8 * 4),
              (std::vector<uint8_t>{50, 100, 200, 0}));
    EXPECT_EQ(std::vector<uint8_t>(f.begin() + 54 + 255 * 4, f.begin() + 54 + 256 * 4),
              (std::vector<uint8_t>{3, 2, 1, 0}));
    const size_t px = 54 + 1024;
    EXPECT_EQ(std::vector<uint8_t>(f.begin() + px, f.end()),
              (std::vector<uint8_t>{255, 7, 0, 0, 7, 255, 0, 0}));
}

TEST(BmpPalette, FourBitLeftmostPixelInTheHighNibbleWhateverTheServerOrder) {
    for (ByteOrder order : {ByteOrder::MsbFirst, ByteOrder::LsbFirst}) {
        Picture p = picture(3, 1, 4, 4);
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
        EXPECT_EQ(std::vector<uint8_t>(f.begin() + 54 + 40, f.begin() + 54 + 44),
                  (std::vector<uint8_t>{30, 20, 10, 0}));
        EXPECT_EQ(std::vector<uint8_t>(f.begin() + 54 + 64, f.end()),
                  (std::vector<uint8_t>{0xa5, 0xc0, 0, 0}));
    }
}

TEST(BmpPalette, OneBitIsBlackThenWhiteEvenWhenTheDisplayHasWhiteAtZero) {
    Picture p = picture(10, 1, 1, 4);
    p.bitOrder = ByteOrder::LsbFirst;
    p.palette = {{255, 255, 255}, {0, 0, 0}};
    mutablePixels(p)[0] = 0x01;  // pixel 0 black, 1..7 white (LSB first)
    mutablePixels(p)[1] = 0x02;  // pixel 8 white, 9 black
    const auto f = saved(p);
    checkHeaders(f, 10, 1, 1, 2);
    EXPECT_EQ(std::vector<uint8_t>(f.begin() + 54, f.begin() + 62),
              (std::vector<uint8_t>{0, 0, 0, 0, 255, 255, 255, 0}));
    EXPECT_EQ(std::vector<uint8_t>(f.begin() + 62, f.end()),
              (std::vector<uint8_t>{0x7f, 0x80, 0, 0}));
}

TEST(BmpPalette, TrueColourEightBitGetsItsTableFromTheMasks) {
    Picture p = picture(1, 1, 8, 4);
    p.redMask = 0xe0, p.greenMask = 0x1c, p.blueMask = 0x03;  // 3-3-2
    mutablePixels(p)[0] = 0xe3;
    const auto f = saved(p);
    EXPECT_EQ(std::vector<uint8_t>(f.begin() + 54 + 0xe3 * 4, f.begin() + 58 + 0xe3 * 4),
              (std::vector<uint8_t>{255, 0, 255, 0}));
}

TEST(BmpFile, EmptyPictureGivesAnEmptyFileAndOneRowIsAValidFile) {
    TempDir dir;
    Picture empty = picture(0, 5, 32, 0);
    saveBmp(empty, dir / "e.bmp");
    EXPECT_EQ(fs::file_size(dir / "e.bmp"), 0u);

    Picture row = picture(5, 1, 32, 20);
    const auto f = saved(row);
    checkHeaders(f, 5, 1, 32, 0);
}

TEST(BmpFile, AnExistingFileIsReplaced) {
    TempDir dir;
    std::ofstream(dir / "p.bmp") << std::string(100000, 'x');
    saveBmp(picture(1, 1, 32, 4), dir / "p.bmp");
    EXPECT_EQ(fs::file_size(dir / "p.bmp"), 58u);
}

TEST(BmpFile, CreateErrorNamesTheFullPathAndTheReason) {
    TempDir dir;
    const std::string cwd = fs::current_path();
    fs::current_path(dir.path());
    try {
        saveBmp(picture(1, 1, 32, 4), "missing/./x/../p.bmp");
        ADD_FAILURE() << "no error";
    } catch (const KvrError& e) {
        EXPECT_EQ(std::string(e.what()), "ファイル \"" + (dir.path() / "missing/p.bmp").string() +
                                             "\". No such file or directory を作成できません");
    }
    fs::current_path(cwd);
    fs::create_directory(dir / "d.bmp");
    EXPECT_THROW(saveBmp(picture(1, 1, 32, 4), dir / "d.bmp"), KvrError);
    EXPECT_TRUE(fs::is_directory(dir / "d.bmp"));
    EXPECT_EQ(reasonText(EISDIR), "Is a directory");
}

// Runs body in a child whose files may not grow beyond limit bytes; returns the child's status.
template <typename F>
int withFileSizeLimit(rlim_t limit, F body) {
    const pid_t pid = fork();
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit rl{limit, limit};
        setrlimit(RLIMIT_FSIZE, &rl);
        _exit(body());
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

TEST(BmpFile, ShortWriteRaisesTheStreamErrorAndLeavesWhatWasWritten) {
    TempDir dir;
    const fs::path path = dir / "full.bmp";
    const int status = withFileSizeLimit(1000, [&] {
        Picture p = picture(100, 100, 32, 400);
        try {
            saveBmp(p, path);
        } catch (const KvrError& e) {
            return std::string(e.what()) == "ストリームへの書き込みエラー" ? 0 : 2;
        }
        return 1;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(fs::file_size(path), 1000u);
    const auto f = readFile(path);
    EXPECT_EQ(f[0], 'B');
    EXPECT_EQ(le32(f, 2), 54u + 40000u);
}

}  // namespace
}  // namespace kvr
