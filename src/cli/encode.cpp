#include "cli/encode.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <iterator>

#include "base/error.h"
#include "base/texts.h"
#include "core/bmp.h"
#include "core/jpeg.h"
#include "core/outfile.h"
#include "core/png.h"

namespace kvr::cli {
namespace {

// The core writes PNG straight to a file as it compresses; for a pipe or the clipboard the file
// is a private one in a folder of our own, read back and removed.
std::vector<uint8_t> pngBytes(const Picture& picture) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string folder = std::string(runtime && *runtime == '/' ? runtime : "/tmp") + "/kvr-XXXXXX";
    if (!mkdtemp(folder.data()))
        throw fileCreateError(folder, errno);
    const std::string path = folder + "/shot.png";
    std::vector<uint8_t> bytes;
    std::exception_ptr failed;
    try {
        savePng(picture, path);
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
        if (!in.eof() && in.fail())
            throw fileWriteError(path, EIO);
    } catch (...) {
        failed = std::current_exception();
    }
    std::remove(path.c_str());
    rmdir(folder.c_str());
    if (failed)
        std::rethrow_exception(failed);
    return bytes;
}

}  // namespace

const char* mimeTypeOf(SaveFormat type) {
    switch (type) {
        case SaveFormat::Bmp:
            return "image/bmp";
        case SaveFormat::Png:
            return "image/png";
        case SaveFormat::Jpeg:
            break;
    }
    return "image/jpeg";
}

EncodedPicture encodePicture(const Picture& picture, SaveFormat type, const JpegOptions& jpeg) {
    EncodedPicture out;
    out.type = type;
    if (picture.empty())
        return out;  // an empty picture is an empty file, as the writers make it
    switch (type) {
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
        case SaveFormat::Png:
            out.bytes = pngBytes(picture);
            break;
        case SaveFormat::Jpeg: {
            const JpegBytes bytes = encodeJpeg(picture, jpeg.quality, jpeg.grey);
            out.bytes.assign(bytes.data(), bytes.data() + bytes.size());
            break;
        }
    }
    return out;
}

void writeToStdout(const EncodedPicture& encoded) {
    // A reader that went away is a failed write (status 1), not a silent death by SIGPIPE.
    signal(SIGPIPE, SIG_IGN);
    if (const int code = writeFully(STDOUT_FILENO, encoded.bytes.data(), encoded.bytes.size())) {
        if (const char* reason = usualReason(code))
            throw KvrError(text::kStdoutWriteError, {}, reason);
        throw KvrError(text::kStdoutWriteError, {reasonText(code)});
    }
}

}  // namespace kvr::cli
