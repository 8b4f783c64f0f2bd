#pragma once

#include "encoder/SignalMeasures.h"

#include <gst/gst.h>

#include <array>
#include <cstdint>

namespace kelm {

// Measures the recorded pictures for the signal alarms: each picture's luma
// plane is brought down to the grid of PictureMeasures (the mean of each
// block), and every few pictures the interval's measures are handed out: the
// brightest mean luma, and the largest share of blocks that changed
// noticeably between two consecutive pictures.
//
// One block sum per pixel and a comparison per block: about a tenth of a
// millisecond for a picture of the TV profile. Used by one thread at a time
// (the recording's streaming thread; the owner resets it before linking).
class PictureMeter final {
public:
    static constexpr int kBlocks = PictureMeasures::kGridColumns * PictureMeasures::kGridRows;

    explicit PictureMeter(int picturesPerInterval = 5) { reset(picturesPerInterval); }

    // Forgets the last picture and the interval begun.
    void reset(int picturesPerInterval);

    // Adds one picture's luma plane (8 bits a pixel). True when it completes
    // an interval, whose measures are then in `out`.
    bool add(const std::uint8_t* luma, int strideBytes, int width, int height,
             PictureMeasures* out);
    // The same for a recorded I420 sample; false also when it cannot be read.
    bool addSample(GstSample* sample, PictureMeasures* out);

private:
    int m_picturesPerInterval = 5;
    std::array<std::uint32_t, kBlocks> m_sums{};
    std::array<float, kBlocks> m_previous{};
    int m_previousBlocks = 0;  // blocks of the last picture's grid; 0: none yet
    PictureMeasures m_interval;
};

}  // namespace kelm
