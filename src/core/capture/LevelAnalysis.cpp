#include "capture/LevelAnalysis.h"

#include <algorithm>
#include <cstdlib>

namespace kelm::LevelAnalysis {

int levelPercent(int peak) {
    return int(double(peak) * 100.0 / 32678.0);
}

Peaks analyse(const CaptureBuffer& buffer, int scopeHeight, WaveTrace& left, WaveTrace& right) {
    const int middle = scopeHeight / 2;
    Peaks peaks;
    const std::int16_t* s = buffer.samples.data();
    int point = 0;
    for (int i = 0; i < CaptureBuffer::kFrames; ++i) {
        const int l = s[2 * i];
        const int r = s[2 * i + 1];
        peaks.left = std::max(peaks.left, std::abs(l));
        peaks.right = std::max(peaks.right, std::abs(r));
        if (i % WaveTrace::kStep == 0) {
            left.points[size_t(point)] = QPoint(i / 8, middle + l / 1500);
            right.points[size_t(point)] = QPoint(i / 8, middle + r / 1500);
            ++point;
        }
    }
    return peaks;
}

}  // namespace kelm::LevelAnalysis
