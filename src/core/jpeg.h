#pragma once
// JPEG files through libjpeg(-turbo): baseline JFIF 1.01, float DCT, standard Huffman tables.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "base/picture.h"

namespace kvr {

class OutputFile;

// The encoder's quality byte: the low 8 bits of qualityrange × 10 (26 gives 4, not 260).
uint8_t jpegQualityByte(int32_t qualityRange);

// The encoded file, gathered in memory.
class JpegBytes {
public:
    const uint8_t* data() const { return data_.get(); }
    size_t size() const { return size_; }

private:
    friend JpegBytes encodeJpeg(const Picture&, uint8_t, bool);
    struct Free {
        void operator()(uint8_t* p) const { std::free(p); }
    };
    std::unique_ptr<uint8_t, Free> data_;
    size_t size_ = 0;
};

// True when the picture's rows go to libjpeg-turbo as they are (24 and 32 bits per pixel with
// byte-sized channels); otherwise they are converted one row at a time.
bool jpegTakesRowsDirectly(const Picture& picture);

// Raises "JPEG エラー #<libjpeg message number>" or the out-of-memory message.
JpegBytes encodeJpeg(const Picture& picture, uint8_t quality, bool grey);

// Creates the file first, encodes, then writes every byte in one write (none for an empty
// picture: a 0-byte file). A short write raises "ストリームへの書き込みエラー".
void saveJpeg(const Picture& picture, const std::string& path, uint8_t quality, bool grey);
// The same into a file already made (the numbered file the shot created).
void saveJpeg(const Picture& picture, OutputFile& file, uint8_t quality, bool grey);

}  // namespace kvr
