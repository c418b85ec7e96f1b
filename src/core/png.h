#pragma once
// PNG files: true colour at 8 or 16 bits a channel (with alpha where the picture has it), or a
// palette at 8 bits per pixel or fewer. Rows are filtered, compressed and written as they are
// converted.
#include <string>

#include "base/picture.h"

namespace kvr {

class ByteSink;

// The file into the sink, each band's compressed rows as soon as they are done (a non-empty
// picture).
void writePng(const Picture& picture, ByteSink& sink);
// Creates the file, then writes the picture (nothing for an empty picture: a 0-byte file). A
// refused write raises "ストリームへの書き込みエラー" and removes the file.
void savePng(const Picture& picture, const std::string& path);

}  // namespace kvr
