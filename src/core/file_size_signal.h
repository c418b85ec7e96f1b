#pragma once
// SIGXFSZ ends the process by default when a write reaches the file-size limit (ulimit -f).
// Ignored, the write fails with EFBIG instead and the writers report it like a full disk.
namespace kvr {

// Sets SIGXFSZ to ignored unless someone installed a handler of their own. Cheap; call it
// before each file write.
void ignoreFileSizeSignal();

}  // namespace kvr
