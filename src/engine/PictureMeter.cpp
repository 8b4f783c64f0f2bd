#include "PictureMeter.h"

#include "GstMaps.h"

#include <gst/video/video.h>

#include <algorithm>
#include <cmath>

namespace kelm {

void PictureMeter::reset(int picturesPerInterval) {
    m_picturesPerInterval = std::max(1, picturesPerInterval);
    m_previousBlocks = 0;
    m_interval = PictureMeasures{};
    m_interval.meanLuma = 0;
    m_interval.changedShare = 0;
}

bool PictureMeter::add(const std::uint8_t* luma, int strideBytes, int width, int height,
                       PictureMeasures* out) {
    if (!luma || width <= 0 || height <= 0) return false;
    // A picture smaller than the grid has a block for each pixel.
    const int columns = std::min(PictureMeasures::kGridColumns, width);
    const int rows = std::min(PictureMeasures::kGridRows, height);
    const int blockWidth = width / columns;
    const int blockHeight = height / rows;
    const int blocks = columns * rows;
    std::fill_n(m_sums.begin(), blocks, 0u);
    for (int row = 0; row < rows; ++row) {
        std::uint32_t* sums = m_sums.data() + row * columns;
        for (int y = row * blockHeight; y < (row + 1) * blockHeight; ++y) {
            const std::uint8_t* line = luma + std::ptrdiff_t(y) * strideBytes;
            for (int column = 0; column < columns; ++column) {
                const std::uint8_t* pixel = line + column * blockWidth;
                std::uint32_t sum = 0;
                for (int x = 0; x < blockWidth; ++x) sum += pixel[x];
                sums[column] += sum;
            }
        }
    }
    const float pixelsPerBlock = float(blockWidth * blockHeight);
    double total = 0;
    int changed = 0;
    const bool comparable = m_previousBlocks == blocks;
    for (int i = 0; i < blocks; ++i) {
        const float mean = float(m_sums[i]) / pixelsPerBlock;
        total += mean;
        if (comparable && std::fabs(mean - m_previous[i]) > PictureMeasures::kNoticeableChange)
            ++changed;
        m_previous[i] = mean;
    }
    m_previousBlocks = blocks;
    const double meanLuma = total / blocks;
    const double changedShare = comparable ? double(changed) / blocks : 1.0;

    m_interval.meanLuma = std::max(m_interval.meanLuma, meanLuma);
    m_interval.changedShare = std::max(m_interval.changedShare, changedShare);
    if (++m_interval.pictures < m_picturesPerInterval) return false;
    *out = m_interval;
    m_interval = PictureMeasures{};
    m_interval.meanLuma = 0;
    m_interval.changedShare = 0;
    return true;
}

bool PictureMeter::addSample(GstSample* sample, PictureMeasures* out) {
    GstVideoInfo info;
    if (!sample || !gst_video_info_from_caps(&info, gst_sample_get_caps(sample)) ||
        GST_VIDEO_INFO_FORMAT(&info) != GST_VIDEO_FORMAT_I420)
        return false;
    const gst::VideoFrameMap frame(&info, gst_sample_get_buffer(sample));
    if (!frame.mapped()) return false;
    return add(frame.plane(0), frame.strideBytes(0), GST_VIDEO_INFO_WIDTH(&info),
               GST_VIDEO_INFO_HEIGHT(&info), out);
}

}  // namespace kelm
