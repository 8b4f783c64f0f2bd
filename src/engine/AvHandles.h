#pragma once

// Owning handles for the libavcodec / libavformat / libavutil objects of the
// file writer. Each releases its object exactly once.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/frame.h>
#include <libavutil/mem.h>
}

#include <memory>

namespace kelm::av {

struct CodecContextFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct AudioFifoFree {
    void operator()(AVAudioFifo* f) const { av_audio_fifo_free(f); }
};
// An I/O context made with avio_alloc_context: its buffer (which libavformat
// may have replaced) goes with it.
struct IoContextFree {
    void operator()(AVIOContext* io) const {
        av_freep(&io->buffer);
        avio_context_free(&io);
    }
};
// An output format context. A file it opened itself is closed with it; an I/O
// context of the caller's (AVFMT_FLAG_CUSTOM_IO) stays the caller's. Writing
// the trailer is the writer's business.
struct OutputFree {
    void operator()(AVFormatContext* f) const {
        if (f->pb && !(f->flags & AVFMT_FLAG_CUSTOM_IO) && !(f->oformat->flags & AVFMT_NOFILE))
            avio_closep(&f->pb);
        avformat_free_context(f);
    }
};

using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextFree>;
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFree>;
using AudioFifoPtr = std::unique_ptr<AVAudioFifo, AudioFifoFree>;
using IoContextPtr = std::unique_ptr<AVIOContext, IoContextFree>;
using OutputPtr = std::unique_ptr<AVFormatContext, OutputFree>;

}  // namespace kelm::av
