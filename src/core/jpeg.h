#pragma once
// JPEG files through libjpeg(-turbo): baseline JFIF 1.01, float DCT, standard Huffman tables.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/picture.h"

namespace kvr {

class ByteSink;

// The encoder's quality byte: the low 8 bits of qualityrange × 10 (26 gives 4, not 260).
uint8_t jpegQualityByte(int32_t qualityRange);

// The encoded file, gathered in memory.
using JpegBytes = std::vector<uint8_t>;

// True when the picture's rows go to libjpeg-turbo as they are (24 and 32 bits per pixel with
// byte-sized channels); otherwise they are converted one row at a time.
bool jpegTakesRowsDirectly(const Picture& picture);

// The file into the sink, a buffer at a time as libjpeg fills it. Raises "JPEG エラー #<libjpeg
// message number>", the out-of-memory message, or the sink's error.
void writeJpeg(const Picture& picture, ByteSink& sink, uint8_t quality, bool grey);
// The same gathered in memory.
JpegBytes encodeJpeg(const Picture& picture, uint8_t quality, bool grey);

// Creates the file first, then encodes into it (nothing for an empty picture: a 0-byte file). A
// short write raises "ストリームへの書き込みエラー".
void saveJpeg(const Picture& picture, const std::string& path, uint8_t quality, bool grey);

}  // namespace kvr
