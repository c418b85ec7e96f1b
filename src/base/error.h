#pragma once
// The one error type of the program: it carries the message the user will read (UTF-8), and,
// for a fixed text, that text and its values, so the user interface can show it translated.
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "base/texts.h"

namespace kvr {

class KvrError : public std::runtime_error {
public:
    // A message made elsewhere (a library's own text); shown as it is.
    explicit KvrError(const std::string& message) : std::runtime_error(message) {}
    // One of the fixed texts of base/texts.h, with its values.
    KvrError(const char* text, std::initializer_list<std::string_view> values)
        : std::runtime_error(fillText(text, values)),
          text_(text),
          values_(values.begin(), values.end()) {}
    // The same, with a fixed text (a failure's reason) after the values, so it is translated
    // with the message.
    KvrError(const char* text, std::initializer_list<std::string_view> values, const char* reason)
        : std::runtime_error(fillText(text, withReason(values, reason))),
          text_(text),
          values_(withReason(values, reason)),
          lastValueIsText_(true) {}

    // The fixed text before filling, or null for a message made elsewhere.
    const char* text() const { return text_; }
    const std::vector<std::string>& values() const { return values_; }
    bool lastValueIsText() const { return lastValueIsText_; }

private:
    static std::vector<std::string> withReason(std::initializer_list<std::string_view> values,
                                               const char* reason) {
        std::vector<std::string> all(values.begin(), values.end());
        all.emplace_back(reason);
        return all;
    }

    const char* text_ = nullptr;
    std::vector<std::string> values_;
    bool lastValueIsText_ = false;
};

// The person called the shot off in a desktop's own dialog: no file, and nothing to show them
// (where no one knows better, its message says what happened).
class ShotCancelled final : public KvrError {
public:
    ShotCancelled() : KvrError(text::kShotCancelled, {}) {}
};

}  // namespace kvr
