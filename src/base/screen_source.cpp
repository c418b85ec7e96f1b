#include "base/screen_source.h"

#include "base/error.h"

namespace kvr {

Picture NullScreenSource::grab(const ShotRequest&) {
    throw KvrError(text::kNoResources, {});
}

}  // namespace kvr
