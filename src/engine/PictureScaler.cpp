#include "PictureScaler.h"

extern "C" {
#include <libswscale/swscale.h>
}

namespace kelm {

void PictureScaler::configure(QSize from, QSize to, int rateNum, int rateDen) {
    reset();
    if (from == to) return;
    m_context =
        sws_getContext(from.width(), from.height(), AV_PIX_FMT_YUV420P, to.width(), to.height(),
                       AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr);
    gst_video_info_set_format(&m_info, GST_VIDEO_FORMAT_I420, static_cast<guint>(to.width()),
                              static_cast<guint>(to.height()));
    GST_VIDEO_INFO_FPS_N(&m_info) = rateNum;
    GST_VIDEO_INFO_FPS_D(&m_info) = rateDen;
    m_caps.reset(gst_video_info_to_caps(&m_info));
    m_pool = gst_buffer_pool_new();
    GstStructure* config = gst_buffer_pool_get_config(m_pool);
    gst_buffer_pool_config_set_params(config, m_caps.get(),
                                      static_cast<guint>(GST_VIDEO_INFO_SIZE(&m_info)), 4, 0);
    if (!gst_buffer_pool_set_config(m_pool, config) || !gst_buffer_pool_set_active(m_pool, TRUE)) {
        gst_object_unref(m_pool);
        m_pool = nullptr;
    }
}

void PictureScaler::reset() {
    sws_freeContext(m_context);
    m_context = nullptr;
    m_caps.reset();
    if (m_pool) {
        gst_buffer_pool_set_active(m_pool, FALSE);
        gst_object_unref(m_pool);
        m_pool = nullptr;
    }
}

gst::SamplePtr PictureScaler::scale(GstSample* sample) {
    GstVideoInfo inInfo;
    if (!m_context || !gst_video_info_from_caps(&inInfo, gst_sample_get_caps(sample)))
        return nullptr;
    GstBuffer* in = gst_sample_get_buffer(sample);
    GstVideoFrame src;
    if (!gst_video_frame_map(&src, &inInfo, in, GST_MAP_READ)) return nullptr;
    GstBuffer* out = nullptr;
    if (!m_pool || gst_buffer_pool_acquire_buffer(m_pool, &out, nullptr) != GST_FLOW_OK)
        out = gst_buffer_new_allocate(nullptr, GST_VIDEO_INFO_SIZE(&m_info), nullptr);
    GstVideoFrame dst;
    if (!gst_video_frame_map(&dst, &m_info, out, GST_MAP_WRITE)) {
        gst_video_frame_unmap(&src);
        gst_buffer_unref(out);
        return nullptr;
    }
    const uint8_t* srcData[4] = {};
    int srcStride[4] = {};
    uint8_t* dstData[4] = {};
    int dstStride[4] = {};
    for (int p = 0; p < 3; ++p) {
        srcData[p] = static_cast<const uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&src, p));
        srcStride[p] = GST_VIDEO_FRAME_PLANE_STRIDE(&src, p);
        dstData[p] = static_cast<uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&dst, p));
        dstStride[p] = GST_VIDEO_FRAME_PLANE_STRIDE(&dst, p);
    }
    sws_scale(m_context, srcData, srcStride, 0, GST_VIDEO_INFO_HEIGHT(&inInfo), dstData, dstStride);
    gst_video_frame_unmap(&dst);
    gst_video_frame_unmap(&src);
    gst_buffer_copy_into(out, in, GST_BUFFER_COPY_TIMESTAMPS, 0, static_cast<gsize>(-1));
    gst::SamplePtr result(
        gst_sample_new(out, m_caps.get(), gst_sample_get_segment(sample), nullptr));
    gst_buffer_unref(out);
    return result;
}

}  // namespace kelm
