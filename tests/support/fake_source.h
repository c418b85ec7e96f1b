#pragma once
// Made-up pictures in any display format, and a source of pixels that hands them to the shot (or
// fails as a real one would), so the core's files are tested without a display.
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "base/error.h"
#include "base/picture.h"
#include "base/screen_source.h"

namespace kvr::test {

struct Rgb {
    uint8_t r, g, b;
};

// 16-pixel blocks of flat colour, so the chroma halving and the DCT keep the colours close.
Rgb blockColour(int x, int y);

// A picture in one of the display layouts (bits per pixel above 8, channel masks, byte order),
// filled with the block pattern.
Picture patterned(int width, int height, int bpp, ByteOrder order, uint32_t r, uint32_t g,
                  uint32_t b);
// The commonest layout: 32 bits, blue green red x in memory.
Picture bgrx(int width, int height);

class FakeScreenSource final : public ScreenSource {
public:
    explicit FakeScreenSource(Picture picture) : picture_(std::move(picture)) {}

    const char* name() const override { return "fake"; }
    bool supports(ShotMode) const override { return true; }
    // The picture, whatever the mode; or the failure when one was set.
    using ScreenSource::grab;
    Picture grab(const ShotRequest& request) override;

    void failWith(KvrError error) { failure_ = std::move(error); }
    // A capture choice this source says it cannot honour.
    void refuse(CaptureChoice choice, const char* reason) { refusals_[choice] = reason; }
    const char* refusal(CaptureChoice choice) const override {
        const auto found = refusals_.find(choice);
        return found == refusals_.end() ? nullptr : found->second;
    }
    const std::vector<ShotRequest>& grabs() const { return grabs_; }

private:
    Picture picture_;
    std::optional<KvrError> failure_;
    std::vector<ShotRequest> grabs_;
    std::map<CaptureChoice, const char*> refusals_;
};

}  // namespace kvr::test
