#pragma once
// The platform check at start-up: the program runs on Linux only.
#include <string>
#include <string_view>

namespace kvr {

// The kernel's name as uname reports it ("Linux"), empty when uname fails.
std::string kernelName();

bool isSupportedKernel(std::string_view name);

}  // namespace kvr
