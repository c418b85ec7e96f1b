#pragma once
// One complete shot: grab, name, write. The main window calls this when the countdown ends.
#include <string>

#include "core/capture.h"
#include "core/picture.h"

namespace kvr {

enum class ShotResult {
    Written,     // the picture was written (or a 0-byte file for an empty picture)
    NoFreeName,  // all 100 names taken: nothing written; the caller shows the message box
};

// Raises KvrError with the user's message on failure (no window, file errors, encoder errors).
ShotResult shotNow(const CaptureChoices& choices);

// The writing half of shotNow for a picture already grabbed. JPEG: grey flag and quality read
// from the settings file now, and a missing folder created (one level, failure ignored: it shows
// as the file-create error). BMP: the folder is left as it is.
void writeShot(const Picture& picture, SaveFormat format, const std::string& folder,
               const std::string& path);

}  // namespace kvr
