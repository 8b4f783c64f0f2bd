#pragma once

#include "capture/LevelCapture.h"

#include <cstdint>
#include <memory>

namespace kelm {

class AlsaSoundCards;
class SoundCardSharing;

// The level meters' capture through ALSA: 16-bit stereo at 44100 Hz.
//
// Nothing here touches the card on the GUI thread. A capture thread opens
// the card, sets it up and reads it, each wait bounded (50 ms at a time);
// what it reads goes into a staging ring of two seconds, which collect()
// empties into the queued buffers under a lock held only for copying. A card
// that cannot be opened, or stops delivering, is logged once with its cause
// and tried again every two seconds; meanwhile the meters get nothing. A
// call into ALSA that does not return (a sound server that stopped
// answering) keeps only the capture thread: collect() notes it in the log
// once, and a new open() starts a capture thread of its own.
//
// One opener per card: while the recording engine holds the card (see
// SoundCardSharing), the capture thread keeps its own capture closed and the
// engine's sound of the card fills the staging ring instead.
class AlsaLevelCapture final : public LevelCapture {
public:
    AlsaLevelCapture(const AlsaSoundCards& cards, std::shared_ptr<SoundCardSharing> sharing);
    // Without an engine to share with: the card is always captured here.
    explicit AlsaLevelCapture(const AlsaSoundCards& cards);
    // Waits up to 300 ms for the capture thread; one that hangs in ALSA is
    // left to end on its own.
    ~AlsaLevelCapture() override;

    // False only for a card that is known not to exist ("CARD=" naming no
    // card of the machine); any other card is opened in the background.
    bool open(const QString& card) override;
    bool isOpen() const override { return m_session != nullptr; }
    bool addBuffer(CaptureBuffer& buffer) override { return m_queue.push(buffer); }
    // Never waits for the card. Always true: a card that fails is tried again.
    bool collect() override;
    void close() override;

    // Frames the card (or the engine) has delivered since open(), for tests
    // and benchmarks.
    long long framesDelivered() const;

    struct Staging;
    struct Session;

private:
    const AlsaSoundCards& m_cards;
    std::shared_ptr<SoundCardSharing> m_sharing;
    std::shared_ptr<Staging> m_staging;
    std::shared_ptr<Session> m_session;
    std::uint64_t m_generations = 0;  // the last open()'s number
    CaptureQueue m_queue;
};

}  // namespace kelm
