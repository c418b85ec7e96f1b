#pragma once
// A picture for stdout and the clipboard, through the same writers as the files.
#include <cstdint>
#include <vector>

#include "base/picture.h"
#include "core/choices.h"
#include "core/formats.h"

namespace kvr::cli {

struct EncodedPicture {
    SaveFormat type = SaveFormat::Jpeg;
    std::vector<uint8_t> bytes;
};

// The media type of a type ("image/jpeg", ...).
const char* mimeTypeOf(SaveFormat type);

// The file's bytes in memory. Raises the writers' errors (JPEG, out of memory).
EncodedPicture encodePicture(const Picture& picture, SaveFormat type, const JpegOptions& jpeg);

// The file's bytes to fd (stdout) as the writer makes them; a failed write (a closed pipe)
// raises text::kStdoutWriteError.
void writeToDescriptor(int fd, const Picture& picture, SaveFormat type, const JpegOptions& jpeg);

}  // namespace kvr::cli
