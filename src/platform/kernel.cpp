#include "platform/kernel.h"

#include <sys/utsname.h>

namespace kvr::platform {

std::string kernelName() {
    utsname names{};
    if (uname(&names) != 0)
        return {};
    return names.sysname;
}

bool isSupportedKernel(std::string_view name) {
    return name == "Linux";
}

}  // namespace kvr::platform
