#pragma once
// The pictures of several outputs put together in one, each where the layout places it, at the
// largest scale among them (a 2x output keeps its pixels; a 1x one beside it is enlarged).
// What lies outside every output stays black. Pure: no display needed.
#include <vector>

#include "base/picture.h"
#include "base/screen.h"

namespace kvr {

struct PlacedPicture {
    Picture picture;     // the output's own pixels, upright
    ScreenRect logical;  // its place and size in the layout (logical pixels)
};

// The pictures must share one pixel format of whole bytes (one compositor's outputs do); raises
// KvrError(kNoResources) otherwise or when there is nothing to place.
Picture composeOutputs(const std::vector<PlacedPicture>& outputs);

// Where each output lies in that picture (its pixels), from the layout's rectangles and the
// largest scale: the same rounding composeOutputs places them with.
std::vector<ScreenRect> placesInMosaic(const std::vector<ScreenRect>& logical, double scale);

// Windows' frames in the layout's (logical) pixels to that picture's pixels, each at the scale of
// the output its centre is on (else the one it overlaps most), widened to whole pixels; a frame
// on no output is left out. `places` are placesInMosaic's for `logical`.
std::vector<ScreenRect> framesInMosaic(const std::vector<ScreenRect>& frames,
                                       const std::vector<ScreenRect>& logical,
                                       const std::vector<ScreenRect>& places);

}  // namespace kvr
