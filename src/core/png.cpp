#include "core/png.h"

#include <isa-l/igzip_lib.h>
#include <zlib.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "base/error.h"
#include "core/outfile.h"
#include "core/row_converter.h"

namespace kvr {

namespace {

// ISA-L's deflate at its middle level: several times faster than zlib's fastest (and than
// libdeflate's) on screen pictures, with files about as small as zlib's default. The chunks are
// written here because libpng and libspng compress only through zlib (or miniz).
constexpr int kLevel = 2;
constexpr size_t kIdatBytes = 256 * 1024;   // the most one IDAT chunk holds
constexpr size_t kBatchBytes = 128 * 1024;  // filtered rows handed to the compressor at a time

void put32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24), p[1] = uint8_t(v >> 16), p[2] = uint8_t(v >> 8), p[3] = uint8_t(v);
}

// A chunk: length, type, data, CRC of type and data.
class ChunkWriter {
public:
    explicit ChunkWriter(OutputFile& file) : file_(file) {}

    void write(const char type[5], const uint8_t* data, size_t size) {
        uint8_t head[8];
        put32(head, uint32_t(size));
        std::memcpy(head + 4, type, 4);
        uLong crc = crc32(0, head + 4, 4);
        if (size > 0)  // a null buffer would restart the CRC
            crc = crc32_z(crc, data, size);
        uint8_t tail[4];
        put32(tail, uint32_t(crc));
        file_.writeAll(head, sizeof head);
        file_.writeAll(data, size);
        file_.writeAll(tail, sizeof tail);
    }

private:
    OutputFile& file_;
};

int widestChannel(const Picture& p) {
    return std::max(
        {std::popcount(p.redMask), std::popcount(p.greenMask), std::popcount(p.blueMask)});
}

// How the picture goes into the file.
struct Layout {
    bool palette = false;
    int bitDepth = 8;  // of a channel, or of an index
    size_t rowBytes = 0;

    explicit Layout(const Picture& p) {
        palette = p.bitsPerPixel <= 8;
        if (palette)
            bitDepth = p.bitsPerPixel;
        else if (widestChannel(p) > 8)
            bitDepth = 16;
        const int bitsPerPixel = palette ? bitDepth : bitDepth * 3;
        rowBytes = (size_t(p.width) * bitsPerPixel + 7) / 8;
    }
};

void writeHeaders(const Picture& p, const Layout& layout, const RowConverter& converter,
                  ChunkWriter& chunks) {
    uint8_t ihdr[13] = {};
    put32(ihdr, uint32_t(p.width));
    put32(ihdr + 4, uint32_t(p.height));
    ihdr[8] = uint8_t(layout.bitDepth);
    ihdr[9] = layout.palette ? 3 : 2;
    chunks.write("IHDR", ihdr, sizeof ihdr);
    // The screen's colours are taken as sRGB, as every desktop shows them.
    const uint8_t intent = 0;  // perceptual
    chunks.write("sRGB", &intent, 1);
    if (!layout.palette) {
        // Channels narrower than the file's keep their own width here, so a reader can get the
        // screen's values back with a shift.
        const uint8_t bits[] = {uint8_t(std::popcount(p.redMask)),
                                uint8_t(std::popcount(p.greenMask)),
                                uint8_t(std::popcount(p.blueMask))};
        if (std::any_of(std::begin(bits), std::end(bits),
                        [&](uint8_t b) { return b != layout.bitDepth; }))
            chunks.write("sBIT", bits, sizeof bits);
    }
    if (const uint32_t density = pixelsPerMetre(p)) {
        uint8_t phys[9];
        put32(phys, density);
        put32(phys + 4, density);
        phys[8] = 1;  // per metre
        chunks.write("pHYs", phys, sizeof phys);
    }
    if (layout.palette) {
        const size_t colours = size_t(1) << layout.bitDepth;
        std::vector<uint8_t> plte(colours * 3);
        for (size_t i = 0; i < colours; ++i) {
            const PaletteEntry c = converter.paletteEntry(uint32_t(i));
            plte[i * 3] = c.red, plte[i * 3 + 1] = c.green, plte[i * 3 + 2] = c.blue;
        }
        chunks.write("PLTE", plte.data(), plte.size());
    }
}

// Feeds filtered rows to the compressor and writes what comes out as IDAT chunks.
class IdatStream {
public:
    explicit IdatStream(ChunkWriter& chunks) : chunks_(chunks), out_(kIdatBytes) {
        isal_deflate_init(&stream_);
        levelBuffer_.resize(ISAL_DEF_LVL2_DEFAULT);
        stream_.level = kLevel;
        stream_.level_buf = levelBuffer_.data();
        stream_.level_buf_size = uint32_t(levelBuffer_.size());
        stream_.gzip_flag = IGZIP_ZLIB;
        stream_.flush = NO_FLUSH;
        stream_.next_out = out_.data();
        stream_.avail_out = uint32_t(out_.size());
    }

    void add(uint8_t* data, size_t size, bool last) {
        stream_.next_in = data;
        stream_.avail_in = uint32_t(size);
        stream_.end_of_stream = last ? 1 : 0;
        for (;;) {
            if (isal_deflate(&stream_) != COMP_OK)
                throw KvrError(text::kNoResources, {});
            const bool done =
                last ? stream_.internal_state.state == ZSTATE_END : stream_.avail_in == 0;
            if (stream_.avail_out == 0 || (done && last))
                flushChunk();
            if (done)
                return;
        }
    }

private:
    void flushChunk() {
        const size_t used = out_.size() - stream_.avail_out;
        if (used > 0)
            chunks_.write("IDAT", out_.data(), used);
        stream_.next_out = out_.data();
        stream_.avail_out = uint32_t(out_.size());
    }

    ChunkWriter& chunks_;
    isal_zstream stream_{};
    std::vector<uint8_t> levelBuffer_;
    std::vector<uint8_t> out_;
};

// One row as the file keeps it before filtering.
void fileRow(const Layout& layout, const RowConverter& converter, int y, uint8_t* out) {
    if (layout.palette) {
        std::memset(out, 0, layout.rowBytes);
        converter.packIndices(y, out);
    } else if (layout.bitDepth == 16) {
        converter.toRgb16(y, out);
    } else {
        converter.toRgb(y, out);
    }
}

uint64_t cost(const uint8_t* filtered, size_t size) {
    uint64_t sum = 0;
    for (size_t i = 0; i < size; ++i)
        sum += uint64_t(std::abs(int(int8_t(filtered[i]))));
    return sum;
}

// One filter for the whole picture, so that rows alike stay alike for the compressor: "Sub" where
// the picture runs along its rows (text, flat areas), "Up" where it runs down them (photos,
// gradients), chosen by libpng's measure on a sample of rows. Palette indices go unfiltered, as
// differences of indices mean nothing.
class RowFilter {
public:
    RowFilter(const Layout& layout, const RowConverter& converter, int height)
        : size_(layout.rowBytes),
          step_(layout.palette ? 0 : size_t(layout.bitDepth / 8 * 3)),
          previous_(size_, 0),
          current_(size_) {
        if (step_ == 0)
            return;
        uint64_t upCost = 0, subCost = 0;
        std::vector<uint8_t> line(size_ + 1);
        constexpr int kEvery = 16;
        for (int y = 1; y < height; y += kEvery) {
            fileRow(layout, converter, y - 1, previous_.data());
            fileRow(layout, converter, y, current_.data());
            type_ = 2;
            filterInto(line.data());
            upCost += cost(line.data() + 1, size_);
            type_ = 1;
            filterInto(line.data());
            subCost += cost(line.data() + 1, size_);
        }
        type_ = subCost < upCost ? 1 : 2;
        std::fill(previous_.begin(), previous_.end(), 0);
    }

    uint8_t* current() { return current_.data(); }

    // Writes the filter type and the filtered current row to line; the row becomes the previous.
    void filter(uint8_t* line) {
        filterInto(line);
        previous_.swap(current_);
    }

private:
    void filterInto(uint8_t* line) const {
        const uint8_t* cur = current_.data();
        line[0] = type_;
        uint8_t* out = line + 1;
        if (type_ == 0) {
            std::memcpy(out, cur, size_);
        } else if (type_ == 1) {
            std::memcpy(out, cur, std::min(step_, size_));
            for (size_t i = step_; i < size_; ++i)
                out[i] = uint8_t(cur[i] - cur[i - step_]);
        } else {
            for (size_t i = 0; i < size_; ++i)
                out[i] = uint8_t(cur[i] - previous_[i]);
        }
    }

    size_t size_;
    size_t step_;  // bytes of one pixel, 0 for no filtering
    uint8_t type_ = 0;
    std::vector<uint8_t> previous_, current_;
};

}  // namespace

void savePng(const Picture& picture, const std::string& path) {
    OutputFile file(path);
    if (picture.empty()) {
        file.close();
        return;
    }
    try {
        const RowConverter converter(picture);
        const Layout layout(picture);
        ChunkWriter chunks(file);
        static const uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
        file.writeAll(kSignature, sizeof kSignature);
        writeHeaders(picture, layout, converter, chunks);

        const size_t lineBytes = layout.rowBytes + 1;
        const size_t rowsPerBatch = std::max<size_t>(1, kBatchBytes / lineBytes);
        std::vector<uint8_t> batch(lineBytes * rowsPerBatch);
        RowFilter filter(layout, converter, picture.height);
        IdatStream idat(chunks);
        for (int y = 0; y < picture.height;) {
            size_t rows = 0;
            for (; rows < rowsPerBatch && y < picture.height; ++rows, ++y) {
                fileRow(layout, converter, y, filter.current());
                filter.filter(batch.data() + rows * lineBytes);
            }
            idat.add(batch.data(), rows * lineBytes, y == picture.height);
        }
        chunks.write("IEND", nullptr, 0);
    } catch (const std::bad_alloc&) {
        // Half a picture under a numbered name would pass for a shot.
        file.discard();
        throw KvrError(text::kNoResources, {});
    } catch (...) {
        file.discard();
        throw;
    }
    file.close();
}

}  // namespace kvr
