#include "core/region.h"

#include <algorithm>
#include <charconv>

namespace kvr {
namespace {

constexpr int kLargest = 1000000;

// Digits only, up to kLargest; moves text past them.
std::optional<int> number(std::string_view& text) {
    size_t n = 0;
    while (n < text.size() && text[n] >= '0' && text[n] <= '9')
        ++n;
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + n, value);
    if (n == 0 || ec != std::errc() || value > kLargest)
        return std::nullopt;
    text.remove_prefix(n);
    return value;
}

bool take(std::string_view& text, char c) {
    if (text.empty() || text.front() != c)
        return false;
    text.remove_prefix(1);
    return true;
}

std::optional<ScreenRect> intersect(const ScreenRect& a, const ScreenRect& b) {
    const int left = std::max(a.x, b.x), top = std::max(a.y, b.y);
    const long right = std::min(long(a.x) + a.width, long(b.x) + b.width);
    const long bottom = std::min(long(a.y) + a.height, long(b.y) + b.height);
    if (right <= left || bottom <= top)
        return std::nullopt;
    return ScreenRect{left, top, int(right - left), int(bottom - top)};
}

}  // namespace

std::optional<ScreenRect> parseGeometry(std::string_view text) {
    ScreenRect r;
    const auto width = number(text);
    if (!width || !take(text, 'x'))
        return std::nullopt;
    const auto height = number(text);
    if (!height || !take(text, '+'))
        return std::nullopt;
    const auto x = number(text);
    if (!x || !take(text, '+'))
        return std::nullopt;
    const auto y = number(text);
    if (!y || !text.empty() || *width < 1 || *height < 1)
        return std::nullopt;
    return ScreenRect{*x, *y, *width, *height};
}

std::string geometryText(const ScreenRect& r) {
    return std::to_string(r.width) + "x" + std::to_string(r.height) + "+" + std::to_string(r.x) +
           "+" + std::to_string(r.y);
}

std::optional<ScreenRect> regionOnMonitors(const ScreenRect& region,
                                           const std::vector<MonitorPlace>& monitors, int width,
                                           int height) {
    const auto onPicture = intersect(region, {0, 0, width, height});
    if (!onPicture)
        return std::nullopt;
    if (monitors.empty())
        return onPicture;
    for (const MonitorPlace& m : monitors)
        if (intersect(*onPicture, m.rect))
            return onPicture;
    return std::nullopt;
}

Picture cutRegion(const Picture& whole, const ScreenRect& r) {
    return cropPicture(whole, r.x, r.y, r.width, r.height);
}

std::string layoutText(const std::vector<MonitorPlace>& monitors) {
    std::string text;
    for (const MonitorPlace& m : monitors)
        text += (text.empty() ? "" : " ") + m.name + ":" + geometryText(m.rect);
    return text;
}

std::optional<ScreenRect> frameAt(const std::vector<ScreenRect>& frames, int x, int y, int width,
                                  int height) {
    for (const ScreenRect& f : frames)
        if (x >= f.x && y >= f.y && long(x) < long(f.x) + f.width && long(y) < long(f.y) + f.height)
            return intersect(f, {0, 0, width, height});
    return std::nullopt;
}

}  // namespace kvr
