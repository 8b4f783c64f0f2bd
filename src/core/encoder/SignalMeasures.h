#pragma once

#include <QList>
#include <QMetaType>

namespace kelm {

// What the encoder measures of the sound it records, once per measuring
// interval (about 100 ms): the signal alarms' view of the recording's own
// sound, not a second capture.
struct SoundLevels {
    // The RMS level of each channel over the interval, in dBFS: 0 is a full
    // scale square wave, digital silence lies far below -100.
    QList<double> rmsDb;
};

// What the encoder measures of the pictures it records, over a few pictures
// (about 200 ms). The pictures are measured on a grid of kGridColumns x
// kGridRows blocks, each the mean luma of its pixels: averaging a block
// takes the noise of an analogue source down far below any real change.
struct PictureMeasures {
    static constexpr int kGridColumns = 32;
    static constexpr int kGridRows = 24;
    // A block whose mean luma moves by more than this (of 255) between two
    // pictures has changed; an analogue source's noise, averaged over a
    // block, stays well under it.
    static constexpr double kNoticeableChange = 3.0;

    // The mean luma of the brightest picture of the interval, 0..255 (video
    // black is 16, full-range black 0).
    double meanLuma = 0;
    // The largest share (0..1) of blocks that changed between two
    // consecutive pictures of the interval; 1 for a first picture, which has
    // nothing to be compared with.
    double changedShare = 1;
    int pictures = 0;  // how many pictures the interval held
};

}  // namespace kelm

Q_DECLARE_METATYPE(kelm::SoundLevels)
Q_DECLARE_METATYPE(kelm::PictureMeasures)
