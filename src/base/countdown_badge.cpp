#include "base/countdown_badge.h"

#include <algorithm>
#include <string>

namespace kvr {
namespace {

// Segments a to g of each digit, clockwise from the top, then the middle.
constexpr uint8_t kSegments[10] = {0x3f, 0x06, 0x5b, 0x4f, 0x66, 0x6d, 0x7d, 0x07, 0x7f, 0x6f};

void addDigit(std::vector<ScreenRect>& to, int digit, int left, int top, int height) {
    const int width = height / 2;
    const int thick = std::max(2, height / 6);
    const int middle = (height - thick) / 2;
    const int lower = height - thick - (middle + thick);
    const ScreenRect parts[7] = {
        {thick, 0, width - 2 * thick, thick},               // a
        {width - thick, thick, thick, middle - thick},      // b
        {width - thick, middle + thick, thick, lower},      // c
        {thick, height - thick, width - 2 * thick, thick},  // d
        {0, middle + thick, thick, lower},                  // e
        {0, thick, thick, middle - thick},                  // f
        {thick, middle, width - 2 * thick, thick},          // g
    };
    for (int s = 0; s < 7; ++s)
        if (kSegments[digit] & (1 << s))
            to.push_back({left + parts[s].x, top + parts[s].y, parts[s].width, parts[s].height});
}

}  // namespace

BadgeShape badgeShape(int seconds, int digitHeight) {
    const std::string number = std::to_string(std::max(0, seconds));
    const int height = std::max(16, digitHeight);
    const int width = height / 2;
    const int gap = std::max(3, height / 6);
    const int pad = std::max(6, height / 4);
    BadgeShape shape;
    shape.width = 2 * pad + int(number.size()) * width + (int(number.size()) - 1) * gap;
    shape.height = 2 * pad + height;
    const int ring = std::max(2, height / 24);
    shape.ring = {1, 1, shape.width - 2, shape.height - 2};
    shape.fill = {1 + ring, 1 + ring, shape.width - 2 - 2 * ring, shape.height - 2 - 2 * ring};
    int left = pad;
    for (char c : number) {
        addDigit(shape.digits, c - '0', left, pad, height);
        left += width + gap;
    }
    return shape;
}

int badgeDigitHeight(double dpi) {
    return std::clamp(int(48 * (dpi > 0 ? dpi : 96) / 96 + 0.5), 24, 192);
}

ScreenRect badgePlace(const ScreenRect& monitor, const BadgeShape& shape) {
    const int margin = std::max(8, shape.height / 4);
    return {monitor.x + std::max(0, monitor.width - shape.width - margin),
            monitor.y + std::min(margin, std::max(0, monitor.height - shape.height)), shape.width,
            shape.height};
}

}  // namespace kvr
