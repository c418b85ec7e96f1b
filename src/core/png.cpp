#include "core/png.h"

#include <isa-l/crc.h>
#include <isa-l/igzip_lib.h>
#include <zlib.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <functional>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "base/error.h"
#include "core/formats.h"
#include "core/outfile.h"
#include "core/row_converter.h"

namespace kvr {

namespace {

// ISA-L's deflate at its middle level: several times faster than zlib's fastest (and than
// libdeflate's) on screen pictures, with files about as small as zlib's default. The chunks are
// written here because libpng and libspng compress only through zlib (or miniz).
constexpr int kLevel = 2;

void put32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24), p[1] = uint8_t(v >> 16), p[2] = uint8_t(v >> 8), p[3] = uint8_t(v);
}

// A chunk: length, type, data, CRC of type and data.
class ChunkWriter {
public:
    explicit ChunkWriter(ByteSink& sink) : sink_(sink) {}

    void write(const char type[5], const uint8_t* data, size_t size) {
        uint8_t head[8];
        put32(head, uint32_t(size));
        std::memcpy(head + 4, type, 4);
        // PNG's CRC is gzip's: ISA-L's runs on the carry-less multiply of the processor.
        uint32_t crc = crc32_gzip_refl(0, head + 4, 4);
        if (size > 0)
            crc = crc32_gzip_refl(crc, data, size);
        uint8_t tail[4];
        put32(tail, crc);
        sink_.writeAll(head, sizeof head);
        sink_.writeAll(data, size);
        sink_.writeAll(tail, sizeof tail);
    }

private:
    ByteSink& sink_;
};

int widestChannel(const Picture& p) {
    return std::max({std::popcount(p.redMask), std::popcount(p.greenMask),
                     std::popcount(p.blueMask), std::popcount(p.alphaMask)});
}

// How the picture goes into the file.
struct Layout {
    bool palette = false;
    bool grey = false;   // a palette that is the grey ramp: plain grey, no PLTE
    bool alpha = false;  // true colour with alpha (a window's translucent shadow)
    int bitDepth = 8;    // of a channel, or of an index
    size_t rowBytes = 0;

    explicit Layout(const Picture& p) {
        palette = p.bitsPerPixel <= 8;
        grey = p.bitsPerPixel == 8 && isGreyRamp(p.palette);
        alpha = !palette && p.alphaMask != 0;
        if (palette)
            bitDepth = p.bitsPerPixel;
        else if (widestChannel(p) > 8)
            bitDepth = 16;
        const int bitsPerPixel = palette ? bitDepth : bitDepth * channels();
        rowBytes = (size_t(p.width) * bitsPerPixel + 7) / 8;
    }
    int channels() const { return palette ? 1 : alpha ? 4 : 3; }
    // Bytes of one pixel, the distance the filters look back (0 for indices).
    size_t step() const { return palette ? 0 : size_t(bitDepth / 8 * channels()); }
};

void writeHeaders(const Picture& p, const Layout& layout, const RowConverter& converter,
                  ChunkWriter& chunks) {
    uint8_t ihdr[13] = {};
    put32(ihdr, uint32_t(p.width));
    put32(ihdr + 4, uint32_t(p.height));
    ihdr[8] = uint8_t(layout.bitDepth);
    ihdr[9] = layout.grey ? 0 : layout.palette ? 3 : layout.alpha ? 6 : 2;
    chunks.write("IHDR", ihdr, sizeof ihdr);
    // The screen's colours are taken as sRGB, as every desktop shows them.
    const uint8_t intent = 0;  // perceptual
    chunks.write("sRGB", &intent, 1);
    if (!layout.palette) {
        // Channels narrower than the file's keep their own width here, so a reader can get the
        // screen's values back with a shift.
        const auto width = [&](uint32_t mask) {
            return uint8_t(std::clamp(std::popcount(mask), 1, layout.bitDepth));
        };
        const uint8_t bits[] = {width(p.redMask), width(p.greenMask), width(p.blueMask),
                                width(p.alphaMask)};
        const size_t count = size_t(layout.channels());
        if (std::any_of(bits, bits + count, [&](uint8_t b) { return b != layout.bitDepth; }))
            chunks.write("sBIT", bits, count);
    }
    if (const uint32_t density = pixelsPerMetre(p)) {
        uint8_t phys[9];
        put32(phys, density);
        put32(phys + 4, density);
        phys[8] = 1;  // per metre
        chunks.write("pHYs", phys, sizeof phys);
    }
    if (layout.palette && !layout.grey) {
        const size_t colours = size_t(1) << layout.bitDepth;
        std::vector<uint8_t> plte(colours * 3);
        for (size_t i = 0; i < colours; ++i) {
            const PaletteEntry c = converter.paletteEntry(uint32_t(i));
            plte[i * 3] = c.red, plte[i * 3 + 1] = c.green, plte[i * 3 + 2] = c.blue;
        }
        chunks.write("PLTE", plte.data(), plte.size());
    }
}

// One row as the file keeps it before filtering.
void fileRow(const Layout& layout, const RowConverter& converter, int y, uint8_t* out) {
    if (layout.palette) {
        std::memset(out, 0, layout.rowBytes);
        converter.packIndices(y, out);
    } else if (layout.bitDepth == 16) {
        layout.alpha ? converter.toRgba16(y, out) : converter.toRgb16(y, out);
    } else {
        layout.alpha ? converter.toRgba(y, out) : converter.toRgb(y, out);
    }
}

enum Filter : uint8_t { kNone = 0, kSub = 1, kUp = 2, kAverage = 3 };

// Writes the filter type and the row filtered with it; previous is the row above (zeros above
// the first), step the bytes of one pixel.
void filterRow(Filter filter, const uint8_t* cur, const uint8_t* previous, size_t size, size_t step,
               uint8_t* line) {
    line[0] = filter;
    uint8_t* out = line + 1;
    const size_t head = std::min(step, size);
    switch (filter) {
        case kNone:
            std::memcpy(out, cur, size);
            break;
        case kSub:
            std::memcpy(out, cur, head);
            for (size_t i = step; i < size; ++i)
                out[i] = uint8_t(cur[i] - cur[i - step]);
            break;
        case kUp:
            for (size_t i = 0; i < size; ++i)
                out[i] = uint8_t(cur[i] - previous[i]);
            break;
        case kAverage:
            for (size_t i = 0; i < head; ++i)
                out[i] = uint8_t(cur[i] - (previous[i] >> 1));
            for (size_t i = step; i < size; ++i)
                out[i] = uint8_t(cur[i] - ((cur[i - step] + previous[i]) >> 1));
            break;
    }
}

// One filter for the whole picture, so that rows alike stay alike for the compressor: "Sub"
// where the picture runs along its rows (text, flat areas), "Up" or "Average" where it runs down
// them too (photos, gradients), chosen by libpng's measure (the smallest sum of differences) on
// a sample of rows. Palette indices go unfiltered, as differences of indices mean nothing.
Filter chooseFilter(const Layout& layout, const RowConverter& converter, int height) {
    if (layout.palette)
        return kNone;
    const size_t size = layout.rowBytes, step = layout.step();
    std::vector<uint8_t> above(size), row(size), line(size + 1);
    const Filter candidates[] = {kSub, kUp, kAverage};
    uint64_t cost[std::size(candidates)] = {};
    constexpr int kEvery = 16;
    for (int y = 1; y < height; y += kEvery) {
        fileRow(layout, converter, y - 1, above.data());
        fileRow(layout, converter, y, row.data());
        for (size_t c = 0; c < std::size(candidates); ++c) {
            filterRow(candidates[c], row.data(), above.data(), size, step, line.data());
            for (size_t i = 1; i <= size; ++i)
                cost[c] += uint64_t(std::abs(int(int8_t(line[i]))));
        }
    }
    // Ties (a picture of one row) go to the cheapest, Sub.
    return candidates[std::min_element(std::begin(cost), std::end(cost)) - std::begin(cost)];
}

// A band of rows compressed on its own into a piece of the one zlib stream of the IDAT data:
// raw deflate ending on a byte boundary (a sync flush) so that the next band's piece follows
// directly, the last band ending the stream. Bands are compressed side by side on the machine's
// cores, as pigz does.
class BandCompressor {
public:
    BandCompressor() : levelBuffer_(ISAL_DEF_LVL2_DEFAULT) {}

    // Rows first..last-1; afterwards out() holds the compressed piece and checksum() the Adler-32
    // of the band's filtered bytes.
    void run(const Layout& layout, const RowConverter& converter, Filter filter, int first,
             int last, bool endsStream) {
        const size_t size = layout.rowBytes, line = size + 1;
        const size_t step = layout.step();
        raw_.resize(line * size_t(last - first));
        previous_.assign(size, 0);
        current_.resize(size);
        if (first > 0 && filter != kNone && filter != kSub)
            fileRow(layout, converter, first - 1, previous_.data());
        for (int y = first; y < last; ++y) {
            fileRow(layout, converter, y, current_.data());
            filterRow(filter, current_.data(), previous_.data(), size, step,
                      raw_.data() + line * size_t(y - first));
            previous_.swap(current_);
        }
        checksum_ = isal_adler32(1, raw_.data(), raw_.size());
        compress(endsStream);
    }

    const std::vector<uint8_t>& out() const { return out_; }
    size_t rawSize() const { return raw_.size(); }
    uint32_t checksum() const { return checksum_; }

private:
    void compress(bool endsStream) {
        isal_deflate_init(&stream_);
        stream_.level = kLevel;
        stream_.level_buf = levelBuffer_.data();
        stream_.level_buf_size = uint32_t(levelBuffer_.size());
        stream_.gzip_flag = IGZIP_DEFLATE;
        stream_.end_of_stream = endsStream ? 1 : 0;
        stream_.flush = endsStream ? NO_FLUSH : SYNC_FLUSH;
        stream_.next_in = raw_.data();
        stream_.avail_in = uint32_t(raw_.size());
        out_.resize(raw_.size() / 2 + 1024);
        size_t used = 0;
        for (;;) {
            stream_.next_out = out_.data() + used;
            stream_.avail_out = uint32_t(out_.size() - used);
            if (isal_deflate(&stream_) != COMP_OK)
                throw KvrError(text::kNoResources, {});
            used = out_.size() - stream_.avail_out;
            const bool done = endsStream ? stream_.internal_state.state == ZSTATE_END
                                         : stream_.avail_in == 0 && stream_.avail_out > 0;
            if (done)
                break;
            if (stream_.avail_out == 0)
                out_.resize(out_.size() * 2);
        }
        out_.resize(used);
    }

    isal_zstream stream_{};
    std::vector<uint8_t> levelBuffer_, raw_, previous_, current_, out_;
    uint32_t checksum_ = 1;
};

// Rows a band holds: about half a megabyte of filtered bytes, so that the bands in flight stay
// small beside the picture.
constexpr size_t kBandBytes = 512 * 1024;

unsigned bandThreads() {
    return std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
}

}  // namespace

void savePng(const Picture& picture, const std::string& path) {
    OutputFile file(path);
    writePicture(picture, SaveFormat::Png, file, {});
}

void writePng(const Picture& picture, ByteSink& sink) {
    try {
        const RowConverter converter(picture);
        const Layout layout(picture);
        ChunkWriter chunks(sink);
        static const uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
        sink.writeAll(kSignature, sizeof kSignature);
        writeHeaders(picture, layout, converter, chunks);

        const Filter filter = chooseFilter(layout, converter, picture.height);
        const int bandRows = int(std::max<size_t>(1, kBandBytes / (layout.rowBytes + 1)));
        std::vector<BandCompressor> bands(bandThreads());
        // The zlib header: deflate with a 32 KiB window, no dictionary, check bits.
        static const uint8_t kZlibHeader[] = {0x78, 0x01};
        chunks.write("IDAT", kZlibHeader, sizeof kZlibHeader);
        uint32_t adler = 1;
        for (int first = 0; first < picture.height;) {
            // One band for each core at a time: the helpers start, this thread takes the first.
            std::vector<std::function<void()>> jobs;
            std::vector<std::exception_ptr> errors(bands.size());
            for (size_t i = 0; i < bands.size() && first < picture.height; ++i) {
                const int last = std::min(picture.height, first + bandRows);
                jobs.push_back([&, i, first, last] {
                    try {
                        bands[i].run(layout, converter, filter, first, last,
                                     last == picture.height);
                    } catch (...) {
                        errors[i] = std::current_exception();
                    }
                });
                first = last;
            }
            std::vector<std::thread> helpers;
            for (size_t i = 1; i < jobs.size(); ++i) {
                try {
                    helpers.emplace_back(jobs[i]);
                } catch (const std::system_error&) {
                    jobs[i]();  // no thread to be had: done here instead
                }
            }
            jobs[0]();
            for (std::thread& helper : helpers)
                helper.join();
            for (size_t i = 0; i < jobs.size(); ++i) {
                if (errors[i])
                    std::rethrow_exception(errors[i]);
                chunks.write("IDAT", bands[i].out().data(), bands[i].out().size());
                adler = uint32_t(
                    adler32_combine(adler, bands[i].checksum(), z_off_t(bands[i].rawSize())));
            }
        }
        uint8_t trailer[4];
        put32(trailer, adler);
        chunks.write("IDAT", trailer, sizeof trailer);
        chunks.write("IEND", nullptr, 0);
    } catch (const std::bad_alloc&) {
        throw KvrError(text::kNoResources, {});
    }
}

}  // namespace kvr
