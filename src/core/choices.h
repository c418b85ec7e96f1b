#pragma once
// What the user chose for the next shot. The main window owns these; the shot reads them.
#include <string>

#include "base/screen_source.h"

namespace kvr {

// Bmp and Png are the two lossless formats; the options dialog picks which one the window offers.
enum class SaveFormat { Jpeg, Bmp, Png };

struct ShotChoices {
    ShotMode mode = ShotMode::ActiveWindow;
    SaveFormat format = SaveFormat::Jpeg;
    std::string Place;           // output folder
    std::string FileName;        // custom file-name prefix
    bool FileNameCheck = false;  // use FileName instead of the mode prefix
};

}  // namespace kvr
