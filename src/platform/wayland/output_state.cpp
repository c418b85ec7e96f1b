#include "platform/wayland/output_state.h"

namespace kvr::wayland {
namespace {

void outputGeometry(void* data, wl_output*, int32_t x, int32_t y, int32_t, int32_t, int32_t,
                    const char*, const char*, int32_t transform) {
    auto* o = static_cast<OutputState*>(data);
    o->x = x;
    o->y = y;
    o->transform = transform;
}
void outputMode(void*, wl_output*, uint32_t, int32_t, int32_t, int32_t) {}
void outputDone(void*, wl_output*) {}
void outputScale(void* data, wl_output*, int32_t factor) {
    static_cast<OutputState*>(data)->scale = factor > 0 ? factor : 1;
}
void outputName(void* data, wl_output*, const char* name) {
    static_cast<OutputState*>(data)->name = name ? name : "";
}
void outputDescription(void*, wl_output*, const char*) {}

}  // namespace

const wl_output_listener kOutputStateListener = {outputGeometry, outputMode, outputDone,
                                                 outputScale,    outputName, outputDescription};

}  // namespace kvr::wayland
