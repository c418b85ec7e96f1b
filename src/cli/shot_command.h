#pragma once
// `kvr --shot`: one shot from the session's source, without the window, written where the
// options say; the same choices, names and files as the window.
#include <string>
#include <vector>

namespace kvr::cli {

// The whole command line (the words after the program's name); returns the exit status. Help,
// version and usage errors are handled here too. Never returns for an empty line: the caller
// opens the window then (see kvr.cpp).
int runCommandLine(const std::vector<std::string>& args);

}  // namespace kvr::cli
