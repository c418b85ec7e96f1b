#pragma once
// What the region selection (in the window's module, which has the toolkit) is handed: the
// picture taken when the countdown ended, where the monitors lie in it and the windows' frames.
// The command line finds it by name in kvr-window.so (kRegionSelectEntry), so `kvr` itself
// loads the toolkit only for -r.
#include <vector>

#include "base/picture.h"
#include "base/screen.h"
#include "base/screen_source.h"

namespace kvr {

struct RegionSelectInput {
    const Picture* picture = nullptr;
    const std::vector<MonitorPlace>* monitors = nullptr;
    const std::vector<ScreenRect>* frames = nullptr;  // topmost first; a click takes one
    ScreenSource* source = nullptr;                   // asked where the pointer is
};

// The entry's answers.
enum class RegionSelectResult : int { Accepted = 0, Cancelled = 1, Failed = 2 };

// int kvr_select_region(int argc, char** argv, const RegionSelectInput&, ScreenRect& chosen):
// argc/argv for the toolkit when no application runs yet; the rectangle in picture pixels when
// accepted.
inline constexpr char kRegionSelectEntry[] = "kvr_select_region";
using RegionSelectEntry = int (*)(int, char**, const RegionSelectInput&, ScreenRect&);

}  // namespace kvr
