#include "base/screen_source.h"

#include "base/error.h"

namespace kvr {

Picture NullScreenSource::grab(ShotMode) {
    throw KvrError(text::kNoResources, {});
}

}  // namespace kvr
