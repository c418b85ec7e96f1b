#pragma once
// What the user chose for the next shot. The main window owns these; the shot reads them.
#include <string>

#include "base/screen_source.h"

namespace kvr {

enum class SaveFormat { Jpeg, Bmp };

struct ShotChoices {
    ShotMode mode = ShotMode::ActiveWindow;
    SaveFormat format = SaveFormat::Jpeg;
    std::string Place;           // output folder
    std::string FileName;        // custom file-name prefix
    bool FileNameCheck = false;  // use FileName instead of the mode prefix
};

}  // namespace kvr
