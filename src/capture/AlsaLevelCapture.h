#pragma once

#include "capture/LevelCapture.h"

#include <memory>

typedef struct _snd_pcm snd_pcm_t;

namespace kelm {

class AlsaSoundCards;

// The level meters' capture through ALSA: 16-bit stereo at 44100 Hz, opened
// non-blocking through a path that shares the card with the recording (the
// sound server's plug-in as it is, a card's own device through dsnoop).
// collect() reads whatever ALSA holds into the queued buffers and never
// waits; an overrun (the GUI thread fell behind by more than ALSA's second of
// buffer) is recovered, a lost device ends the capture.
class AlsaLevelCapture final : public LevelCapture {
public:
    explicit AlsaLevelCapture(const AlsaSoundCards& cards);
    ~AlsaLevelCapture() override;

    bool open(const QString& card) override;
    bool isOpen() const override { return m_pcm != nullptr; }
    bool addBuffer(CaptureBuffer& buffer) override { return m_queue.push(buffer); }
    bool collect() override;
    void close() override;

private:
    struct PcmClose {
        void operator()(snd_pcm_t* pcm) const;
    };
    const AlsaSoundCards& m_cards;
    std::unique_ptr<snd_pcm_t, PcmClose> m_pcm;
    CaptureQueue m_queue;
};

}  // namespace kelm
