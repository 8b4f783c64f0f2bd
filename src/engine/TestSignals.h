#pragma once

#include <gst/gst.h>

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

}  // namespace kelm
