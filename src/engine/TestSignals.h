#pragma once

#include <gst/gst.h>

#include <QByteArray>
#include <QtGlobal>

#include <atomic>

namespace kelm {

// The test sources "TEST://flash" and "TEST://beep", for measuring whether
// sound and picture stay together: the picture is black, and white for one
// frame every second from its first frame on; the tone is silent but for
// 23 ms of 440 Hz starting at the same moments. Both share `phase`, the
// running time of the first flash modulo one second (-1 until known).

// Paints the flashes into the I420 720x576 pictures of a videotestsrc.
void addFlash(GstElement* videotestsrc, std::atomic<qint64>* phase);
// Writes the beeps into the S16 sound of an audiotestsrc making silence.
void addBeep(GstElement* audiotestsrc, std::atomic<qint64>* phase);

// The test tones "TEST://hole" and "TEST://pauses", for the silence alarm:
// the tone is cut to digital silence for `silenceMs` after every `toneMs`,
// counted from its first sample; `repeat` false cuts it once only. "hole"
// is 5 s of tone, 9 s of silence, then tone; "pauses" 2 s of tone and 4 s of
// silence over and over.
struct ToneCuts {
    qint64 toneMs = 0;
    qint64 silenceMs = 0;
    bool repeat = false;
};
// The cuts a test tone's name asks for; none (silenceMs 0) for other names.
ToneCuts toneCutsFor(const QByteArray& name);
// Cuts the S16 sound of an audiotestsrc as `cuts` says.
void addToneCuts(GstElement* audiotestsrc, ToneCuts cuts);

}  // namespace kelm
