#pragma once
// WebP files through libwebp: lossless, every pixel exact, alpha where the picture has it.
#include "base/picture.h"

namespace kvr {

class ByteSink;

// libwebp's method (0 fastest .. 6 smallest), lossless quality 0. Measured by kvr_format_bench
// (bench/formats.cpp) at 1920×1080: method 0 makes 0.72× our PNG's file on the photo-like
// desktop and 0.62× on the plain one, in 4× and 7× its time; methods 1 to 6 save a little more
// (0.65×, 0.34×) in 9× to 16× the time. None comes within our PNG's time, so the fastest.
inline constexpr int kWebpMethod = 0;

// The file into the sink (a non-empty picture). Raises "WebP エラー #<libwebp error code>", the
// out-of-resources message, or the sink's error.
void writeWebp(const Picture& picture, ByteSink& sink, int method = kWebpMethod);

}  // namespace kvr
