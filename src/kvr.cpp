// Program entry. With shot options it is the command line: one shot through the core and the
// session's source, no toolkit loaded. Without, it loads the window (the module kvr-window) and
// runs it in this same process, so the program's path stays this file's (the settings' place
// and KWin's authorisation go by it).
#include <cstdio>
#include <string>
#include <vector>

#include "base/error.h"
#include "cli/shot_command.h"
#include "cli/texts_table.h"
#include "platform/module.h"

int main(int argc, char** argv) {
    if (argc > 1)
        return kvr::cli::runCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    try {
        using Entry = int (*)(int, char**);
        const auto window =
            reinterpret_cast<Entry>(kvr::platform::moduleEntry("kvr-window.so", "kvr_window_main"));
        return window(argc, argv);
    } catch (const kvr::KvrError& e) {
        std::fprintf(stderr, "kvr: %s\n", kvr::cli::errorMessage(e).c_str());
        return 1;
    }
}
