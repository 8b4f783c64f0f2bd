#pragma once

#include "capture/LevelCapture.h"

#include <QPoint>
#include <array>

namespace kelm {

// The waveform of one channel of a buffer: every 15th frame, x = frame / 8,
// y = middle + sample / 1500 (205 points, x from 0 to 382).
struct WaveTrace {
    static constexpr int kStep = 15;
    static constexpr int kPoints = (CaptureBuffer::kFrames + kStep - 1) / kStep;
    std::array<QPoint, kPoints> points{};
};

struct Peaks {
    int left = 0;  // largest absolute sample, 0..32768
    int right = 0;
};

namespace LevelAnalysis {

// The meter level 0..100 of a peak: peak * 100 / 32678, fraction dropped, so
// a full-scale peak of 32767 or 32768 shows 100.
int levelPercent(int peak);

// The peaks of all 3072 frames of the buffer and the two traces around the
// middle line of a picture `scopeHeight` pixels high (middle = height / 2).
Peaks analyse(const CaptureBuffer& buffer, int scopeHeight, WaveTrace& left, WaveTrace& right);

}  // namespace LevelAnalysis
}  // namespace kelm
