#pragma once
// One complete shot: take the pixels from the session's source, find the next free name, write
// the file. The main window calls this when the countdown ends.
#include <cstdint>
#include <string>

#include "base/picture.h"
#include "base/screen_source.h"
#include "core/choices.h"
#include "core/formats.h"
#include "core/naming.h"

namespace kvr {

enum class ShotResult {
    Written,     // the picture was written (or a 0-byte file for an empty picture)
    NoFreeName,  // all 100 names taken: nothing written; the caller tells the user
};

struct ShotOutcome {
    ShotResult result = ShotResult::Written;
    std::string path;  // the file written; empty for NoFreeName
    Picture picture;   // what was grabbed (for the clipboard); valid until the next grab
};

// The source's request for these choices. A choice the source refuses falls back to its default
// here; the options dialog shows that choice disabled with the source's reason.
ShotRequest shotRequest(const ScreenSource& source, const ShotChoices& choices);

// Whether a region shot is chosen in the desktop's own screenshot dialog (the portal's, which
// offers an area): the picture it gives is then the region, and no selection is shown.
bool desktopChoosesRegion(const ScreenSource& source);
// Whether a region can be chosen in this session: the desktop's dialog, or a selection over
// monitors the source can place.
bool regionPossible(const ScreenSource& source);

// Raises KvrError with the user's message on failure (no window, file errors, encoder errors).
// The file is created before it is written, under the first number free at that moment
// (createNextFile); beforeCreate is createNextFile's.
ShotOutcome shotNow(ScreenSource& source, const ShotChoices& choices, const JpegOptions& jpeg,
                    const BeforeCreate& beforeCreate = {});

// The writing half of shotNow for a picture already taken: the next free numbered file in
// choices.Place, created (createNextFile) and written through the same descriptor. A format
// that makesFolder: a missing folder is created (one level; when that fails, the file-create
// error with the reason the folder could not be made); BMP leaves the folder as it is. A failure
// leaves neither the file nor the folder made for it. The outcome's picture is left empty.
ShotOutcome saveNumbered(const Picture& picture, const ShotChoices& choices,
                         const JpegOptions& jpeg, const BeforeCreate& beforeCreate = {});

// The picture into a file already made.
void writeShot(const Picture& picture, SaveFormat format, OutputFile& file,
               const JpegOptions& jpeg);
// The picture into path, a name given (the command line's -o): created or emptied, with the
// folder as saveNumbered makes it.
void writeShot(const Picture& picture, SaveFormat format, const std::string& folder,
               const std::string& path, const JpegOptions& jpeg);

}  // namespace kvr
