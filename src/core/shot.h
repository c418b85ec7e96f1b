#pragma once
// One complete shot: grab, name, write. The main window calls this when the countdown ends.
#include "core/capture.h"

namespace kvr {

enum class ShotResult {
    Written,     // the picture was written (or a 0-byte file for an empty picture)
    NoFreeName,  // all 100 names taken: nothing written; the caller shows the message box
};

// Raises KvrError with the user's message on failure (no window, file errors, encoder errors).
ShotResult shotNow(const CaptureChoices& choices);

}  // namespace kvr
