#pragma once
// The file formats, one row each. Everything that depends on the format (the numbered name, the
// folder, the command line's -t and extension, stdout, the clipboard's media type, the writer)
// reads its row here. A new format is its writer's file plus one row in formats.cpp.
#include <cstdint>
#include <optional>
#include <string_view>

#include "base/picture.h"
#include "core/choices.h"
#include "core/sink.h"

namespace kvr {

class OutputFile;

struct JpegOptions {
    uint8_t quality = 30;  // the encoder's quality byte (see jpegQualityByte)
    bool grey = false;
};

struct ImageFormat {
    SaveFormat format;
    const char* name;       // the command line's -t (lower case)
    const char* extension;  // with its dot
    char letter;            // in the numbered name: ALL_J00.jpg
    const char* mediaType;
    bool makesFolder;  // a missing output folder is made (one level); BMP leaves it as it is
    int savedAs;       // [Save] png, the lossless choice: its value; -1 for JPEG
    // The file keeps a picture's transparency; without, a picture with alpha (a window with its
    // shadow) is cut to its opaque frame (opaqueFrame), as a shadow without alpha is black.
    bool keepsAlpha;
    // Encodes a non-empty picture into the sink, rows streamed where the format allows it.
    // Raises the writer's own errors (KvrError) and the sink's.
    void (*write)(const Picture& picture, ByteSink& sink, const JpegOptions& jpeg);
};

const ImageFormat& formatOf(SaveFormat format);
// By -t's name or an extension without its dot ("jpg"), in any case.
std::optional<SaveFormat> formatNamed(std::string_view name);

// [Save] png's value: 0 BMP (also anything unknown, and a missing key), 1 PNG, 2 WebP.
SaveFormat losslessFormatSaved(int32_t value);

// The picture into the sink; nothing at all for an empty picture (a 0-byte file).
void writePicture(const Picture& picture, SaveFormat format, ByteSink& sink,
                  const JpegOptions& jpeg);
// The same into a file already made, then closed; on any failure the file is abandoned
// (OutputFile::abandon: removed if this shot made it, else left empty).
void writePicture(const Picture& picture, SaveFormat format, OutputFile& file,
                  const JpegOptions& jpeg);

}  // namespace kvr
