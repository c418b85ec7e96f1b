#include "core/kernel.h"

#include <sys/utsname.h>

namespace kvr {

std::string kernelName() {
    utsname names{};
    if (uname(&names) != 0)
        return {};
    return names.sysname;
}

bool isSupportedKernel(std::string_view name) {
    return name == "Linux";
}

}  // namespace kvr
