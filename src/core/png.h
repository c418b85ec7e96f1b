#pragma once
// PNG files: true colour at 8 or 16 bits a channel, or a palette at 8 bits per pixel or fewer;
// never an alpha channel. Rows are filtered, compressed and written as they are converted.
#include <string>

#include "base/picture.h"

namespace kvr {

class OutputFile;

// Creates the file, then writes the picture (nothing for an empty picture: a 0-byte file). A
// refused write raises "ストリームへの書き込みエラー" and removes the file.
void savePng(const Picture& picture, const std::string& path);
// The same into a file already made (the numbered file the shot created).
void savePng(const Picture& picture, OutputFile& file);

}  // namespace kvr
