#pragma once
// The one error type of the program: it carries the message the user will read (UTF-8).
#include <stdexcept>
#include <string>

namespace kvr {

// The system could not give what a shot needs (display, pixels, memory for the conversion).
inline constexpr char kNoResourcesMessage[] = "システム リソースが足りません";

class KvrError : public std::runtime_error {
public:
    explicit KvrError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace kvr
