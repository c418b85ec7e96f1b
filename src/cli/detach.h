#pragma once
// A child process that outlives the command: the notification, the clipboard's server.

namespace kvr::cli {

// Forks. Returns true in the caller (also when the fork failed); in the child returns false
// with stdin, stdout and stderr on /dev/null (a shell's `$(kvr --shot)` waits for every writer
// of the pipe) and in a session of its own (a closed terminal does not end it). The child ends
// with _exit. keep: a descriptor the child keeps (every other one above stderr is closed).
bool detach(int keep = -1);

}  // namespace kvr::cli
