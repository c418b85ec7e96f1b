#pragma once
// Photo-like content for the benchmarks: smooth shading, shapes and grain, so the encoder works
// as it would on a real desktop picture. Pixels as 0x00RRGGBB, top row first.
#include <cstdint>
#include <vector>

namespace kvr::bench {

std::vector<uint32_t> photoLike(int width, int height);
// A plain desktop: a flat background, a panel and windows of text-like glyph rows.
std::vector<uint32_t> plainDesktop(int width, int height);

}  // namespace kvr::bench
