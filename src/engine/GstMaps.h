#pragma once

// Scoped read mappings of GStreamer buffers: a mapping is released when its
// guard goes, on every path out of the code that reads it.

#include <gst/gst.h>
#include <gst/video/video.h>

namespace kelm::gst {

// The memory of one buffer, mapped for reading.
class BufferMap final {
public:
    explicit BufferMap(GstBuffer* buffer)
        : m_buffer(buffer), m_mapped(buffer && gst_buffer_map(buffer, &m_info, GST_MAP_READ)) {}
    BufferMap(const BufferMap&) = delete;
    BufferMap& operator=(const BufferMap&) = delete;
    ~BufferMap() {
        if (m_mapped) gst_buffer_unmap(m_buffer, &m_info);
    }

    bool mapped() const { return m_mapped; }
    const guint8* data() const { return m_info.data; }
    gsize sizeBytes() const { return m_mapped ? m_info.size : 0; }

private:
    GstBuffer* m_buffer;
    GstMapInfo m_info{};
    bool m_mapped;
};

// The planes of one raw picture described by `info`, mapped for reading.
class VideoFrameMap final {
public:
    VideoFrameMap(GstVideoInfo* info, GstBuffer* buffer)
        : m_mapped(buffer && gst_video_frame_map(&m_frame, info, buffer, GST_MAP_READ)) {}
    VideoFrameMap(const VideoFrameMap&) = delete;
    VideoFrameMap& operator=(const VideoFrameMap&) = delete;
    ~VideoFrameMap() {
        if (m_mapped) gst_video_frame_unmap(&m_frame);
    }

    bool mapped() const { return m_mapped; }
    const guint8* plane(int index) const {
        return static_cast<const guint8*>(GST_VIDEO_FRAME_PLANE_DATA(&m_frame, index));
    }
    int strideBytes(int index) const { return GST_VIDEO_FRAME_PLANE_STRIDE(&m_frame, index); }

private:
    GstVideoFrame m_frame{};
    bool m_mapped;
};

}  // namespace kelm::gst
