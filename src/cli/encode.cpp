#include "cli/encode.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "base/error.h"
#include "base/texts.h"
#include "core/bmp.h"
#include "core/jpeg.h"

namespace kvr::cli {

SaveFormat saveFormatOf(ImageType type) {
    switch (type) {
        case ImageType::Bmp:
            return SaveFormat::Bmp;
        case ImageType::Png:
            // TODO(png): SaveFormat::Png once the core has its writer.
            throw KvrError(text::kCliBadType, {"png"});
        case ImageType::Jpeg:
            break;
    }
    return SaveFormat::Jpeg;
}

const char* mimeTypeOf(ImageType type) {
    switch (type) {
        case ImageType::Bmp:
            return "image/bmp";
        case ImageType::Png:
            return "image/png";
        case ImageType::Jpeg:
            break;
    }
    return "image/jpeg";
}

ImageType clipboardType(ImageType shotType) {
    return shotType;
}

EncodedPicture encodePicture(const Picture& picture, ImageType type, const JpegOptions& jpeg) {
    EncodedPicture out;
    out.type = type;
    if (picture.empty())
        return out;  // an empty picture is an empty file, as the writers make it
    switch (saveFormatOf(type)) {
        case SaveFormat::Bmp: {
            const BmpImage bmp = makeBmp(picture);
            for (const auto& [data, size] :
                 {std::pair<const uint8_t*, size_t>{bmp.fileHeader, sizeof bmp.fileHeader},
                  {bmp.infoHeader, sizeof bmp.infoHeader},
                  {bmp.colourTable.data(), bmp.colourTable.size()},
                  {bmp.pixels.data(), bmp.pixels.size()}})
                out.bytes.insert(out.bytes.end(), data, data + size);
            break;
        }
        case SaveFormat::Jpeg: {
            const JpegBytes bytes = encodeJpeg(picture, jpeg.quality, jpeg.grey);
            out.bytes.assign(bytes.data(), bytes.data() + bytes.size());
            break;
        }
    }
    return out;
}

bool writeFully(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

void writeToStdout(const EncodedPicture& encoded) {
    // A reader that went away is a failed write (status 1), not a silent death by SIGPIPE.
    signal(SIGPIPE, SIG_IGN);
    if (!writeFully(STDOUT_FILENO, encoded.bytes.data(), encoded.bytes.size()))
        throw KvrError(text::kWriteError, {});
}

}  // namespace kvr::cli
