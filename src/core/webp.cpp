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
    config.exact = 1;  // no pixel altered, not even the colour under a transparent one
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
        // libwebp takes the whole picture as ARGB words (opaque where the picture has no alpha).
        const RowConverter converter(picture);
        std::vector<uint8_t> bgra(size_t(picture.width) * 4);
        for (int y = 0; y < picture.height; ++y) {
            if (picture.alphaMask)
                converter.toRgba(y, bgra.data(), true);
            else
                converter.toBgrx(y, bgra.data());
            uint32_t* argb = pic.argb + size_t(y) * size_t(pic.argb_stride);
            for (int x = 0; x < picture.width; ++x) {
                const uint8_t* p = &bgra[size_t(x) * 4];
                argb[x] = uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
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
