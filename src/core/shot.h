#pragma once
// One complete shot: grab, name, write. The main window calls this when the countdown ends.
#include <functional>
#include <optional>
#include <string>

#include "core/capture.h"
#include "core/naming.h"
#include "core/picture.h"

namespace kvr {

enum class ShotResult {
    Written,     // the picture was written (or a 0-byte file for an empty picture)
    NoFreeName,  // all 100 names taken: nothing written; the caller shows the message box
};

// Picks the bare file name after the grab, or nothing when none is free. The main window passes
// its GetFileName, which shows the 100-name box itself.
using NameChooser = std::function<std::optional<std::string>(const CaptureChoices&)>;

// Raises KvrError with the user's message on failure (no window, file errors, encoder errors).
ShotResult shotNow(const CaptureChoices& choices, const NameChooser& chooseName = nextFileName);

// The writing half of shotNow for a picture already grabbed. JPEG: grey flag and quality read
// from the settings file now, and a missing folder created (one level; when that fails, the
// file-create error with the reason the folder could not be made). BMP: the folder is left as
// it is.
void writeShot(const Picture& picture, SaveFormat format, const std::string& folder,
               const std::string& path);

}  // namespace kvr
