#include "base/texts.h"

#include <vector>

namespace kvr {

int hexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

namespace {

template <typename Values>
std::string fill(std::string_view text, const Values& args) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9') {
            const size_t n = size_t(text[i + 1] - '1');
            if (n < args.size()) {
                out += args[n];
                ++i;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

}  // namespace

std::string fillText(std::string_view text, std::initializer_list<std::string_view> values) {
    return fill(text, std::vector<std::string_view>(values));
}

std::string fillText(std::string_view text, const std::vector<std::string>& values) {
    return fill(text, values);
}

}  // namespace kvr
