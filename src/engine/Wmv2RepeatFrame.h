#pragma once

#include <QByteArray>

namespace kelm {

// A WMV2 predicted frame in which every macroblock is skipped: it shows the
// frame before it again, in a few bytes (a header and one bit per macroblock
// row, and one per macroblock of the first row). `extradata` is the encoder's
// sequence header (4 bytes), which says which optional header fields the
// frames carry. Empty when the sequence header cannot be read.
QByteArray wmv2RepeatFrame(const unsigned char* extradata, int extradataBytes, int width,
                           int height);

}  // namespace kelm
