#pragma once

#include "encoder/EncoderError.h"

#include <gst/gst.h>

#include <QString>

#include <initializer_list>
#include <utility>
#include <vector>

namespace kelm {

// What the capture graph's parts build their chains of elements with. Owner
// thread only.

// Makes the elements (factory and name; a null name lets GStreamer choose
// one), adds them to `bin` and links them in order; `out` gets them upstream
// first. Any missing element fails the whole chain (and leaves nothing added).
EncoderStatus makeChain(GstBin* bin,
                        std::initializer_list<std::pair<const char*, const char*>> elements,
                        std::vector<GstElement*>* out);

// Gives a capsfilter the caps of this text.
void setCaps(GstElement* capsfilter, const char* text);

// Caps as the log shows them; "(none)" without any.
QString capsText(GstCaps* caps);

}  // namespace kelm
