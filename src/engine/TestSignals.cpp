#include "TestSignals.h"

#include "GstHandles.h"

#include <gst/audio/audio.h>

#include <QtGlobal>

#include <algorithm>
#include <cmath>

namespace kelm {
namespace {

constexpr GstClockTime kBeepNs = 23 * GST_MSECOND;

GstPadProbeReturn paintFlash(GstPad*, GstPadProbeInfo* info, gpointer user) {
    auto& phase = *static_cast<std::atomic<qint64>*>(user);
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    if (!buffer || !GST_BUFFER_PTS_IS_VALID(buffer)) return GST_PAD_PROBE_OK;
    qint64 expected = -1;
    phase.compare_exchange_strong(expected,
                                  static_cast<qint64>(GST_BUFFER_PTS(buffer) % GST_SECOND));
    if ((GST_BUFFER_PTS(buffer) + GST_SECOND - static_cast<GstClockTime>(phase.load())) %
            GST_SECOND >=
        GST_MSECOND)
        return GST_PAD_PROBE_OK;
    buffer = gst_buffer_make_writable(buffer);
    GST_PAD_PROBE_INFO_DATA(info) = buffer;
    GstMapInfo map;
    if (gst_buffer_map(buffer, &map, GST_MAP_WRITE)) {
        // I420 720x576: the luma plane comes first.
        std::fill_n(map.data, std::min<gsize>(map.size, 720 * 576), guint8{235});
        gst_buffer_unmap(buffer, &map);
    }
    return GST_PAD_PROBE_OK;
}

// Rewrites a probe's S16 sound buffer in place: `write` gets its samples
// interleaved, its frame count, channels, rate and time stamp. Buffers of
// any other format, or without a time, pass untouched.
template <typename Write>
GstPadProbeReturn rewriteSound(GstPad* pad, GstPadProbeInfo* info, Write write) {
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    gst::CapsPtr caps(gst_pad_get_current_caps(pad));
    GstAudioInfo audio;
    if (!buffer || !GST_BUFFER_PTS_IS_VALID(buffer) || !caps ||
        !gst_audio_info_from_caps(&audio, caps.get()) ||
        GST_AUDIO_INFO_FORMAT(&audio) != GST_AUDIO_FORMAT_S16LE)
        return GST_PAD_PROBE_OK;
    buffer = gst_buffer_make_writable(buffer);
    GST_PAD_PROBE_INFO_DATA(info) = buffer;
    GstMapInfo map;
    if (!gst_buffer_map(buffer, &map, GST_MAP_WRITE)) return GST_PAD_PROBE_OK;
    const int channels = GST_AUDIO_INFO_CHANNELS(&audio);
    write(reinterpret_cast<qint16*>(map.data), map.size / (2 * static_cast<gsize>(channels)),
          channels, GST_AUDIO_INFO_RATE(&audio), GST_BUFFER_PTS(buffer));
    gst_buffer_unmap(buffer, &map);
    return GST_PAD_PROBE_OK;
}

GstPadProbeReturn writeBeep(GstPad* pad, GstPadProbeInfo* info, gpointer user) {
    const qint64 phase = static_cast<std::atomic<qint64>*>(user)->load();
    if (phase < 0) return GST_PAD_PROBE_OK;
    return rewriteSound(
        pad, info, [phase](qint16* pcm, gsize frames, int channels, int rate, GstClockTime pts) {
            for (gsize i = 0; i < frames; ++i) {
                const GstClockTime t = pts + gst_util_uint64_scale(i, GST_SECOND, rate);
                const GstClockTime into =
                    (t + GST_SECOND - static_cast<GstClockTime>(phase)) % GST_SECOND;
                const qint16 value =
                    into < kBeepNs
                        ? static_cast<qint16>(10000 * std::sin(2 * M_PI * 440 * into / 1e9))
                        : 0;
                for (int c = 0; c < channels; ++c) pcm[i * channels + c] = value;
            }
        });
}

// What a cut tone's probe keeps: its cuts and the time of its first sample.
struct CutState {
    ToneCuts cuts;
    GstClockTime firstNs = GST_CLOCK_TIME_NONE;
};

bool cutAt(const ToneCuts& cuts, GstClockTime sinceFirstNs) {
    const GstClockTime period = (cuts.toneMs + cuts.silenceMs) * GST_MSECOND;
    if (!cuts.repeat && sinceFirstNs >= period) return false;
    return sinceFirstNs % period >= GstClockTime(cuts.toneMs) * GST_MSECOND;
}

GstPadProbeReturn cutTone(GstPad* pad, GstPadProbeInfo* info, gpointer user) {
    auto& state = *static_cast<CutState*>(user);
    return rewriteSound(
        pad, info, [&state](qint16* pcm, gsize frames, int channels, int rate, GstClockTime pts) {
            if (state.firstNs == GST_CLOCK_TIME_NONE) state.firstNs = pts;
            const GstClockTime since = pts - state.firstNs;
            for (gsize i = 0; i < frames; ++i) {
                if (cutAt(state.cuts, since + gst_util_uint64_scale(i, GST_SECOND, rate)))
                    std::fill_n(pcm + i * channels, channels, qint16{0});
            }
        });
}

}  // namespace

ToneCuts toneCutsFor(const QByteArray& name) {
    if (name == "hole") return {5000, 9000, false};
    if (name == "pauses") return {2000, 4000, true};
    return {};
}

void addToneCuts(GstElement* audiotestsrc, ToneCuts cuts) {
    gst::PadPtr out(gst_element_get_static_pad(audiotestsrc, "src"));
    gst_pad_add_probe(out.get(), GST_PAD_PROBE_TYPE_BUFFER, cutTone, new CutState{cuts},
                      [](gpointer state) { delete static_cast<CutState*>(state); });
}

void addFlash(GstElement* videotestsrc, std::atomic<qint64>* phase) {
    gst::PadPtr out(gst_element_get_static_pad(videotestsrc, "src"));
    gst_pad_add_probe(out.get(), GST_PAD_PROBE_TYPE_BUFFER, paintFlash, phase, nullptr);
}

void addBeep(GstElement* audiotestsrc, std::atomic<qint64>* phase) {
    gst::PadPtr out(gst_element_get_static_pad(audiotestsrc, "src"));
    gst_pad_add_probe(out.get(), GST_PAD_PROBE_TYPE_BUFFER, writeBeep, phase, nullptr);
}

}  // namespace kelm
