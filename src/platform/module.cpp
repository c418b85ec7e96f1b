#include "platform/module.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <string>

#include "base/error.h"
#include "base/texts.h"

namespace kvr::platform {
namespace {

// The folder of /proc/self/exe, with its final "/".
std::string programFolder() {
    char buffer[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0 || buffer[0] != '/') {
        errno = n < 0 ? errno : ENOENT;
        return {};
    }
    std::string path(buffer, size_t(n));
    return path.substr(0, path.rfind('/') + 1);
}

}  // namespace

void* moduleEntry(const std::string& fileName, const char* symbol) {
    const std::string folder = programFolder();
    // Without the program's own folder a relative path would be the current folder's, where
    // anyone may have put a module: none is loaded then.
    if (folder.empty())
        throw KvrError(text::kCannotLoadModule,
                       {fileName, "/proc/self/exe: " + std::string(std::strerror(errno))});
    // Beside the program first (the build folder), then where installing put it relative to
    // the installed program (KVR_MODULE_DIR: relative to the program's folder, or absolute).
    std::string module = std::string(KVR_MODULE_DIR) + "/" + fileName;
    if (module[0] != '/')
        module = folder + module;
    const std::string candidates[] = {folder + fileName, module};
    std::string reason;
    for (const std::string& path : candidates) {
        if (access(path.c_str(), F_OK) != 0)
            continue;
        if (void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
            if (void* entry = dlsym(handle, symbol))
                return entry;
        }
        reason = dlerror();
        break;
    }
    if (reason.empty())
        reason = module + ": No such file or directory";
    throw KvrError(text::kCannotLoadModule, {fileName, reason});
}

}  // namespace kvr::platform
