#include "core/jpeg.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <string>
#include <vector>

// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

#include "base/error.h"
#include "core/formats.h"
#include "core/outfile.h"
#include "core/row_converter.h"

namespace kvr {

namespace {

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    int code = 0;
};

// Compressed bytes go to the sink a buffer at a time. The sink's error is kept and the
// compression left by the error manager's jump: no C++ exception passes through libjpeg.
struct Destination {
    jpeg_destination_mgr pub;
    ErrorManager* errors = nullptr;
    ByteSink* sink = nullptr;
    std::exception_ptr failed;
    uint8_t buffer[64 * 1024];

    bool pass(size_t size) {
        try {
            sink->writeAll(buffer, size);
            return true;
        } catch (...) {
            failed = std::current_exception();
            return false;
        }
    }
};

[[noreturn]] void errorExit(j_common_ptr cinfo) {
    auto* e = reinterpret_cast<ErrorManager*>(cinfo->err);
    e->code = e->pub.msg_code;
    std::longjmp(e->jump, 1);
}

void emitMessage(j_common_ptr, int) {}  // warnings and trace are of no interest
void outputMessage(j_common_ptr) {}

void initDestination(j_compress_ptr cinfo) {
    auto* d = reinterpret_cast<Destination*>(cinfo->dest);
    d->pub.next_output_byte = d->buffer;
    d->pub.free_in_buffer = sizeof d->buffer;
}

boolean emptyOutputBuffer(j_compress_ptr cinfo) {
    auto* d = reinterpret_cast<Destination*>(cinfo->dest);
    if (!d->pass(sizeof d->buffer))
        std::longjmp(d->errors->jump, 1);
    initDestination(cinfo);
    return TRUE;
}

void termDestination(j_compress_ptr cinfo) {
    auto* d = reinterpret_cast<Destination*>(cinfo->dest);
    if (!d->pass(sizeof d->buffer - d->pub.free_in_buffer))
        std::longjmp(d->errors->jump, 1);
}

// The layouts libjpeg-turbo reads directly, so 24- and 32-bit rows need no copy.
J_COLOR_SPACE directColorSpace(const Picture& p, int& components) {
    const int bytes = p.bitsPerPixel / 8;
    if (p.bitsPerPixel != 32 && p.bitsPerPixel != 24)
        return JCS_UNKNOWN;
    auto byteOf = [&](uint32_t mask) {
        for (int k = 0; k < bytes; ++k)
            if (mask == 0xffu << (8 * k))
                return p.byteOrder == ByteOrder::LsbFirst ? k : bytes - 1 - k;
        return -1;
    };
    const int r = byteOf(p.redMask), g = byteOf(p.greenMask), b = byteOf(p.blueMask);
    components = bytes;
    if (bytes == 3) {
        if (r == 0 && g == 1 && b == 2)
            return JCS_EXT_RGB;
        if (r == 2 && g == 1 && b == 0)
            return JCS_EXT_BGR;
        return JCS_UNKNOWN;
    }
    if (r == 0 && g == 1 && b == 2)
        return JCS_EXT_RGBX;
    if (r == 2 && g == 1 && b == 0)
        return JCS_EXT_BGRX;
    if (r == 1 && g == 2 && b == 3)
        return JCS_EXT_XRGB;
    if (r == 3 && g == 2 && b == 1)
        return JCS_EXT_XBGR;
    return JCS_UNKNOWN;
}

struct Job {
    const Picture* picture;
    const RowConverter* converter;  // null when rows go in as they are
    uint8_t* rowBuffer;
    J_COLOR_SPACE space;
    int components;
    uint8_t quality;
    bool grey;
};

// No object with a destructor lives in here: a fatal libjpeg error longjmps back to the setjmp.
bool compress(jpeg_compress_struct& cinfo, ErrorManager& errors, Destination& dest,
              const Job& job) {
    if (setjmp(errors.jump))
        return false;
    jpeg_create_compress(&cinfo);
    cinfo.dest = &dest.pub;
    cinfo.image_width = JDIMENSION(job.picture->width);
    cinfo.image_height = JDIMENSION(job.picture->height);
    cinfo.input_components = job.components;
    cinfo.in_color_space = job.space;
    jpeg_set_defaults(&cinfo);
    cinfo.dct_method = JDCT_FLOAT;
    cinfo.optimize_coding = FALSE;
    cinfo.smoothing_factor = 0;
    cinfo.restart_interval = 0;
    cinfo.restart_in_rows = 0;
    cinfo.write_JFIF_header = TRUE;
    cinfo.JFIF_major_version = 1;
    cinfo.JFIF_minor_version = 1;
    // Dots per inch where the screen tells its size; else square pixels, no unit.
    const uint16_t dpi = wholeDotsPerInch(*job.picture);
    cinfo.density_unit = dpi ? 1 : 0;
    cinfo.X_density = dpi ? dpi : 1;
    cinfo.Y_density = cinfo.X_density;
    jpeg_set_quality(&cinfo, job.quality, TRUE);
    if (job.grey)
        jpeg_set_colorspace(&cinfo, JCS_GRAYSCALE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        const int y = int(cinfo.next_scanline);
        JSAMPROW row;
        if (job.converter) {
            job.converter->toBgr(y, job.rowBuffer);
            row = job.rowBuffer;
        } else {
            row = const_cast<JSAMPROW>(job.picture->row(y));
        }
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    return true;
}

}  // namespace

uint8_t jpegQualityByte(int32_t qualityRange) {
    return uint8_t(uint32_t(qualityRange) * 10u & 0xffu);
}

bool jpegTakesRowsDirectly(const Picture& picture) {
    int components = 0;
    return directColorSpace(picture, components) != JCS_UNKNOWN;
}

JpegBytes encodeJpeg(const Picture& picture, uint8_t quality, bool grey) {
    MemorySink sink;
    writeJpeg(picture, sink, quality, grey);
    return std::move(sink.bytes);
}

void writeJpeg(const Picture& picture, ByteSink& sink, uint8_t quality, bool grey) try {
    int components = 3;
    J_COLOR_SPACE space = directColorSpace(picture, components);
    std::unique_ptr<RowConverter> converter;
    std::vector<uint8_t> rowBuffer;
    if (space == JCS_UNKNOWN) {
        // One converted row at a time; never a second full-size copy of the picture.
        converter = std::make_unique<RowConverter>(picture);
        rowBuffer.resize(size_t(picture.width) * 3);
        space = JCS_EXT_BGR;
        components = 3;
    }

    jpeg_compress_struct cinfo;
    std::memset(&cinfo, 0, sizeof cinfo);
    ErrorManager errors;
    cinfo.err = jpeg_std_error(&errors.pub);
    errors.pub.error_exit = errorExit;
    errors.pub.emit_message = emitMessage;
    errors.pub.output_message = outputMessage;
    auto dest = std::make_unique<Destination>();
    dest->pub.init_destination = initDestination;
    dest->pub.empty_output_buffer = emptyOutputBuffer;
    dest->pub.term_destination = termDestination;
    dest->errors = &errors;
    dest->sink = &sink;

    const Job job{&picture, converter.get(), rowBuffer.data(), space, components, quality, grey};
    const bool ok = compress(cinfo, errors, *dest, job);
    jpeg_destroy_compress(&cinfo);

    if (dest->failed)
        std::rethrow_exception(dest->failed);
    if (!ok)
        throw KvrError(text::kJpegError, {std::to_string(errors.code)});
} catch (const std::bad_alloc&) {
    throw KvrError(text::kJpegNoMemory, {});
}

void saveJpeg(const Picture& picture, const std::string& path, uint8_t quality, bool grey) {
    OutputFile file(path);
    writePicture(picture, SaveFormat::Jpeg, file, {quality, grey});
}

}  // namespace kvr
