#include "core/webp.h"

#include <webp/encode.h>

#include <exception>
#include <new>
#include <string>
#include <vector>

#include "base/error.h"
#include "base/texts.h"
#include "core/row_converter.h"
#include "core/sink.h"

namespace kvr {

namespace {

struct Output {
    ByteSink* sink;
    std::exception_ptr failed;
};

// libwebp hands its bytes here; the sink's error is kept, and a 0 stops the encoder.
int toSink(const uint8_t* data, size_t size, const WebPPicture* picture) {
    auto* out = static_cast<Output*>(picture->custom_ptr);
    try {
        out->sink->writeAll(data, size);
        return 1;
    } catch (...) {
        out->failed = std::current_exception();
        return 0;
    }
}

struct PictureOwner {
    WebPPicture* picture;
    ~PictureOwner() { WebPPictureFree(picture); }
};

}  // namespace

void writeWebp(const Picture& picture, ByteSink& sink, int method) {
    WebPConfig config;
    WebPPicture pic;
    if (!WebPConfigInit(&config) || !WebPPictureInit(&pic))
        throw KvrError(text::kWebpError,
                       {std::to_string(int(VP8_ENC_ERROR_INVALID_CONFIGURATION))});
    config.lossless = 1;
    config.exact = 1;  // nothing is transparent, but no pixel may be altered either
    config.method = method;
    config.quality = 0;  // for lossless: how hard to look; the method sets the pace
    pic.use_argb = 1;
    pic.width = picture.width;
    pic.height = picture.height;
    if (picture.width > WEBP_MAX_DIMENSION || picture.height > WEBP_MAX_DIMENSION)
        throw KvrError(text::kWebpError, {std::to_string(int(VP8_ENC_ERROR_BAD_DIMENSION))});
    if (!WebPPictureAlloc(&pic))
        throw KvrError(text::kNoResources, {});
    const PictureOwner owner{&pic};
    try {
        // libwebp takes the whole picture as opaque ARGB words.
        const RowConverter converter(picture);
        std::vector<uint8_t> bgr(size_t(picture.width) * 3);
        for (int y = 0; y < picture.height; ++y) {
            converter.toBgr(y, bgr.data());
            uint32_t* argb = pic.argb + size_t(y) * size_t(pic.argb_stride);
            for (int x = 0; x < picture.width; ++x) {
                const uint8_t* p = &bgr[size_t(x) * 3];
                argb[x] = 0xff000000u | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
            }
        }
    } catch (const std::bad_alloc&) {
        throw KvrError(text::kNoResources, {});
    }
    Output out{&sink, {}};
    pic.writer = toSink;
    pic.custom_ptr = &out;
    if (WebPEncode(&config, &pic))
        return;
    if (out.failed)
        std::rethrow_exception(out.failed);
    if (pic.error_code == VP8_ENC_ERROR_OUT_OF_MEMORY ||
        pic.error_code == VP8_ENC_ERROR_BITSTREAM_OUT_OF_MEMORY)
        throw KvrError(text::kNoResources, {});
    throw KvrError(text::kWebpError, {std::to_string(int(pic.error_code))});
}

}  // namespace kvr
