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
    ImageType type = ImageType::Jpeg;
    std::vector<uint8_t> bytes;
};

// The core's format of a type: the one place where the command line's names meet the writers.
SaveFormat saveFormatOf(ImageType type);

// The media type of a type ("image/jpeg", ...).
const char* mimeTypeOf(ImageType type);

// What the clipboard is given for a shot of that type: what other programs paste best.
ImageType clipboardType(ImageType shotType);

// Raises the writers' errors (JPEG, out of memory).
EncodedPicture encodePicture(const Picture& picture, ImageType type, const JpegOptions& jpeg);

// Every byte to stdout; a failed write (a closed pipe) raises text::kWriteError.
void writeToStdout(const EncodedPicture& encoded);

}  // namespace kvr::cli
