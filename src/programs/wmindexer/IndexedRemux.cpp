#include "IndexedRemux.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
}

#include <cstdio>
#include <memory>
#include <vector>

namespace kelm {
namespace {

struct InputClose {
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct OutputFree {
    void operator()(AVFormatContext* c) const {
        if (c->pb) avio_closep(&c->pb);
        avformat_free_context(c);
    }
};
struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};

std::string avText(int rc) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(rc, text, sizeof text);
    return text;
}

bool failWith(std::string* error, const std::string& what, int rc = 0) {
    if (error) *error = rc ? what + ": " + avText(rc) : what;
    return false;
}

}  // namespace

bool remuxWithIndex(const std::string& inputPath, const std::string& outputPath,
                    std::string* error) {
    AVFormatContext* rawIn = nullptr;
    int rc = avformat_open_input(&rawIn, inputPath.c_str(), nullptr, nullptr);
    if (rc < 0) return failWith(error, "cannot open " + inputPath, rc);
    std::unique_ptr<AVFormatContext, InputClose> in(rawIn);
    if ((rc = avformat_find_stream_info(in.get(), nullptr)) < 0)
        return failWith(error, "cannot read the streams of " + inputPath, rc);

    const std::string partPath = outputPath + ".part";
    AVFormatContext* rawOut = nullptr;
    if ((rc = avformat_alloc_output_context2(&rawOut, nullptr, "asf", partPath.c_str())) < 0)
        return failWith(error, "no ASF muxer", rc);
    std::unique_ptr<AVFormatContext, OutputFree> out(rawOut);

    // Input stream index -> output stream index; -1 for streams left out.
    std::vector<int> map(in->nb_streams, -1);
    for (unsigned i = 0; i < in->nb_streams; ++i) {
        const AVCodecParameters* par = in->streams[i]->codecpar;
        if (par->codec_type != AVMEDIA_TYPE_AUDIO && par->codec_type != AVMEDIA_TYPE_VIDEO)
            continue;
        AVStream* stream = avformat_new_stream(out.get(), nullptr);
        if (!stream || avcodec_parameters_copy(stream->codecpar, par) < 0)
            return failWith(error, "cannot copy a stream");
        stream->codecpar->codec_tag = 0;
        stream->time_base = in->streams[i]->time_base;
        stream->avg_frame_rate = in->streams[i]->avg_frame_rate;
        map[i] = stream->index;
    }
    if (out->nb_streams == 0) return failWith(error, inputPath + " has no audio or video");

    if ((rc = avio_open2(&out->pb, partPath.c_str(), AVIO_FLAG_WRITE, nullptr, nullptr)) < 0)
        return failWith(error, "cannot create " + partPath, rc);
    if ((rc = avformat_write_header(out.get(), nullptr)) < 0) {
        std::remove(partPath.c_str());
        return failWith(error, "cannot write the header", rc);
    }

    std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
    long long copied = 0;
    for (;;) {
        rc = av_read_frame(in.get(), packet.get());
        if (rc < 0) break;  // the end, or the torn end of a killed recording
        const int target = map[static_cast<unsigned>(packet->stream_index)];
        // A torn last packet of a killed recording is left out.
        if (target < 0 || packet->pts == AV_NOPTS_VALUE || (packet->flags & AV_PKT_FLAG_CORRUPT)) {
            av_packet_unref(packet.get());
            continue;
        }
        av_packet_rescale_ts(packet.get(), in->streams[packet->stream_index]->time_base,
                             out->streams[target]->time_base);
        packet->stream_index = target;
        packet->pos = -1;
        if ((rc = av_interleaved_write_frame(out.get(), packet.get())) < 0) {
            av_packet_unref(packet.get());
            out.reset();
            std::remove(partPath.c_str());
            return failWith(error, "cannot write " + partPath, rc);
        }
        ++copied;
    }
    if ((rc = av_write_trailer(out.get())) < 0) {
        out.reset();
        std::remove(partPath.c_str());
        return failWith(error, "cannot finish " + partPath, rc);
    }
    out.reset();
    if (copied == 0) {
        std::remove(partPath.c_str());
        return failWith(error, inputPath + " holds no complete packet");
    }
    if (std::rename(partPath.c_str(), outputPath.c_str()) != 0) {
        std::remove(partPath.c_str());
        return failWith(error, "cannot rename " + partPath + " to " + outputPath);
    }
    return true;
}

}  // namespace kelm
