#pragma once
// The program's own modules (kvr-window.so, kvr-dbus.so): the parts that need Qt, loaded only
// when this run needs them. They lie beside the program in the build folder and in
// <libdir>/kelvoro once installed.
#include <string>

namespace kvr::platform {

// The entry point `symbol` of the module `fileName` (loaded once, never unloaded). Raises
// KvrError with the loader's reason when the module or the entry is missing.
void* moduleEntry(const std::string& fileName, const char* symbol);

}  // namespace kvr::platform
