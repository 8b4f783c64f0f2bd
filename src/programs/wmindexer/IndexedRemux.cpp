#include "IndexedRemux.h"

#include "AsfPacketLimit.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
}

#include <fcntl.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
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

// The input read through a window of its first `limitBytes`: the demuxer sees
// the end of the file after the last complete ASF packet.
class LimitedInput final {
public:
    LimitedInput(int fd, std::int64_t limitBytes) : m_fd(fd), m_limitBytes(limitBytes) {}
    ~LimitedInput() {
        if (m_io) {
            av_freep(&m_io->buffer);
            avio_context_free(&m_io);
        }
        if (m_fd >= 0) ::close(m_fd);
    }
    LimitedInput(const LimitedInput&) = delete;
    LimitedInput& operator=(const LimitedInput&) = delete;

    AVIOContext* open() {
        constexpr int kBufferBytes = 64 * 1024;
        auto* buffer = static_cast<unsigned char*>(av_malloc(kBufferBytes));
        if (!buffer) return nullptr;
        m_io = avio_alloc_context(buffer, kBufferBytes, 0, this, &LimitedInput::read, nullptr,
                                  &LimitedInput::seek);
        if (!m_io) av_free(buffer);
        return m_io;
    }

private:
    static int read(void* opaque, std::uint8_t* out, int bytes) {
        auto* self = static_cast<LimitedInput*>(opaque);
        const std::int64_t left = self->m_limitBytes - self->m_position;
        if (left <= 0) return AVERROR_EOF;
        const auto wanted = static_cast<size_t>(std::min<std::int64_t>(bytes, left));
        ssize_t n;
        do {
            n = ::pread(self->m_fd, out, wanted, self->m_position);
        } while (n < 0 && errno == EINTR);
        if (n < 0) return AVERROR(errno);
        if (n == 0) return AVERROR_EOF;
        self->m_position += n;
        return static_cast<int>(n);
    }
    static std::int64_t seek(void* opaque, std::int64_t offset, int whence) {
        auto* self = static_cast<LimitedInput*>(opaque);
        std::int64_t target;
        switch (whence & ~AVSEEK_FORCE) {
            case AVSEEK_SIZE:
                return self->m_limitBytes;
            case SEEK_SET:
                target = offset;
                break;
            case SEEK_CUR:
                target = self->m_position + offset;
                break;
            case SEEK_END:
                target = self->m_limitBytes + offset;
                break;
            default:
                return AVERROR(EINVAL);
        }
        if (target < 0) return AVERROR(EINVAL);
        self->m_position = target;
        return target;
    }

    int m_fd;
    std::int64_t m_limitBytes;
    std::int64_t m_position = 0;
    AVIOContext* m_io = nullptr;
};

bool failWith(std::string* error, const std::string& what, int rc = 0) {
    if (error) *error = rc ? what + ": " + avText(rc) : what;
    return false;
}

using OutputPtr = std::unique_ptr<AVFormatContext, OutputFree>;

// The input file's demuxer and, for a file whose end may be torn, the reader
// that stops before the torn packet. The demuxer is closed before the reader
// it may use.
struct Input {
    std::unique_ptr<LimitedInput> limited;
    std::unique_ptr<AVFormatContext, InputClose> context;
};

bool openInput(const std::string& inputPath, Input* input, std::string* error) {
    // A copy taken while the recording grew may end in the middle of a
    // packet; reading stops before that packet, so it is left out whole.
    AVFormatContext* rawIn = avformat_alloc_context();
    if (!rawIn) return failWith(error, "out of memory");
    if (const std::int64_t readable = asfReadableBytes(inputPath); readable >= 0) {
        input->limited = std::make_unique<LimitedInput>(
            ::open(inputPath.c_str(), O_RDONLY | O_CLOEXEC), readable);
        rawIn->pb = input->limited->open();
        if (!rawIn->pb) {
            avformat_free_context(rawIn);
            return failWith(error, "cannot read " + inputPath);
        }
        rawIn->flags |= AVFMT_FLAG_CUSTOM_IO;
    }
    int rc = avformat_open_input(&rawIn, inputPath.c_str(), nullptr, nullptr);
    if (rc < 0) return failWith(error, "cannot open " + inputPath, rc);
    input->context.reset(rawIn);
    if ((rc = avformat_find_stream_info(rawIn, nullptr)) < 0)
        return failWith(error, "cannot read the streams of " + inputPath, rc);
    return true;
}

// An output stream for each audio and video stream of the input, copied as
// it is. `map` gets the output stream index of each input stream, -1 for the
// streams left out.
bool addStreams(const AVFormatContext* in, AVFormatContext* out, std::vector<int>* map,
                std::string* error) {
    map->assign(in->nb_streams, -1);
    for (unsigned i = 0; i < in->nb_streams; ++i) {
        const AVCodecParameters* par = in->streams[i]->codecpar;
        if (par->codec_type != AVMEDIA_TYPE_AUDIO && par->codec_type != AVMEDIA_TYPE_VIDEO)
            continue;
        AVStream* stream = avformat_new_stream(out, nullptr);
        if (!stream || avcodec_parameters_copy(stream->codecpar, par) < 0)
            return failWith(error, "cannot copy a stream");
        stream->codecpar->codec_tag = 0;
        stream->time_base = in->streams[i]->time_base;
        stream->avg_frame_rate = in->streams[i]->avg_frame_rate;
        (*map)[i] = stream->index;
    }
    return true;
}

// Copies every whole packet of the mapped streams; `copied` counts them.
// Returns libavformat's code of a failed write, 0 at the end of the input.
int copyPackets(AVFormatContext* in, AVFormatContext* out, const std::vector<int>& map,
                long long* copied) {
    std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
    for (;;) {
        // A read that fails is the end, or the torn end of a killed recording.
        if (av_read_frame(in, packet.get()) < 0) return 0;
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
        if (const int rc = av_interleaved_write_frame(out, packet.get()); rc < 0) {
            av_packet_unref(packet.get());
            return rc;
        }
        ++*copied;
    }
}

// Writes the trailer and the index, and gives the finished file its name.
bool finishOutput(OutputPtr out, const std::string& partPath, const std::string& outputPath,
                  const std::string& inputPath, long long copied, std::string* error) {
    if (const int rc = av_write_trailer(out.get()); rc < 0) {
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

}  // namespace

bool remuxWithIndex(const std::string& inputPath, const std::string& outputPath,
                    std::string* error) {
    Input input;
    if (!openInput(inputPath, &input, error)) return false;
    AVFormatContext* in = input.context.get();

    const std::string partPath = outputPath + ".part";
    AVFormatContext* rawOut = nullptr;
    int rc = avformat_alloc_output_context2(&rawOut, nullptr, "asf", partPath.c_str());
    if (rc < 0) return failWith(error, "no ASF muxer", rc);
    OutputPtr out(rawOut);
    std::vector<int> map;
    if (!addStreams(in, out.get(), &map, error)) return false;
    if (out->nb_streams == 0) return failWith(error, inputPath + " has no audio or video");

    if ((rc = avio_open2(&out->pb, partPath.c_str(), AVIO_FLAG_WRITE, nullptr, nullptr)) < 0)
        return failWith(error, "cannot create " + partPath, rc);
    if ((rc = avformat_write_header(out.get(), nullptr)) < 0) {
        std::remove(partPath.c_str());
        return failWith(error, "cannot write the header", rc);
    }
    long long copied = 0;
    if ((rc = copyPackets(in, out.get(), map, &copied)) < 0) {
        out.reset();
        std::remove(partPath.c_str());
        return failWith(error, "cannot write " + partPath, rc);
    }
    return finishOutput(std::move(out), partPath, outputPath, inputPath, copied, error);
}

}  // namespace kelm
