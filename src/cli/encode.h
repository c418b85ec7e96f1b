#pragma once
// A picture encoded in memory, for stdout and the clipboard (files are written by the core).
#include <cstdint>
#include <vector>

#include "base/picture.h"
#include "cli/options.h"
#include "core/choices.h"
#include "core/shot.h"

namespace kvr::cli {

struct EncodedPicture {
    SaveFormat type = SaveFormat::Jpeg;
    std::vector<uint8_t> bytes;
};

// The media type of a type ("image/jpeg", ...).
const char* mimeTypeOf(SaveFormat type);

// Raises the writers' errors (JPEG, out of memory).
EncodedPicture encodePicture(const Picture& picture, SaveFormat type, const JpegOptions& jpeg);

// Every byte to stdout; a failed write (a closed pipe) raises text::kStdoutWriteError.
void writeToStdout(const EncodedPicture& encoded);

}  // namespace kvr::cli
