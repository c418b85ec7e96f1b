// Program entry. With shot options it is the command line: one shot through the core and the
// session's source, no toolkit loaded. Without, it loads the window (the module kvr-window) and
// runs it in this same process, so the program's path stays this file's (the settings' place
// and KWin's authorisation go by it).
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/error.h"
#include "cli/detach.h"
#include "cli/shot_command.h"
#include "cli/texts_table.h"
#include "platform/module.h"

int main(int argc, char** argv) {
    if (argc > 1) {
        const std::vector<std::string> args(argv + 1, argv + argc);
        // A background part of an earlier command (see cli/detach.h). It ends at once: what its
        // display and bus connections hold goes with the process.
        if (const auto status = kvr::cli::runPart(args))
            _exit(*status);
        return kvr::cli::runCommandLine(args);
    }
    try {
        using Entry = int (*)(int, char**);
        const auto window =
            reinterpret_cast<Entry>(kvr::platform::moduleEntry("kvr-window.so", "kvr_window_main"));
        return window(argc, argv);
    } catch (const kvr::KvrError& e) {
        std::fprintf(stderr, "kvr: %s\n",
                     kvr::fillText(kvr::cli::translate(e.text()), e.values()).c_str());
        return 1;
    }
}
