#pragma once

#include "capture/LevelAnalysis.h"
#include "capture/LevelCapture.h"
#include "capture/Xtimer.h"

#include <memory>

namespace kelm {

// Where the level meters show what they measure (the LED meter and the two
// waveform pictures of the main window).
class LevelDisplay {
public:
    virtual ~LevelDisplay() = default;
    // Height in pixels of the left waveform picture; both traces use it.
    virtual int scopeHeight() const = 0;
    // Levels 0..100, left and right.
    virtual void showLevels(int left, int right) = 0;
    virtual void showTraces(const WaveTrace& left, const WaveTrace& right) = 0;
};

// The live level meters of the chosen sound card: a ring of 30 buffers of
// 3072 frames circulates between the card's capture and the 40 ms timer `XT`,
// which analyses every buffer the card has filled and hands every free buffer
// back. Nothing is allocated per tick. GUI thread only.
class VuMeter final {
public:
    static constexpr int kRingSize = 30;
    static constexpr int kIntervalMs = 40;

    VuMeter(LevelCapture& capture, LevelDisplay& display, XtimerTable& timers);
    // Closes the capture: the device must not keep buffers that go with the meter.
    ~VuMeter();
    VuMeter(const VuMeter&) = delete;
    VuMeter& operator=(const VuMeter&) = delete;

    // Opens the card's capture and starts the timer. False (and the meters
    // stay still) when the card cannot be opened or no timer is available.
    bool startVuMeter(const QString& card);
    // Stops the timer and closes the capture. Buffers still queued keep their
    // mark and come back marked done: the next start consumes them once.
    void stopVuMeter();
    // One tick: consume every finished buffer in ring order, hand every free
    // one to the device, show the last peaks. Failed when the device is lost.
    TickResult timerTick();

    bool isOpen() const { return m_capture.isOpen(); }
    Peaks peaks() const { return m_peaks; }
    int currentBuffer() const { return m_currentBuffer; }
    CaptureBuffer& buffer(int position) { return (*m_buffers)[size_t(position % kRingSize)]; }
    Xtimer& timer() { return m_timer; }

private:
    void queueCaptureBuffer(CaptureBuffer& buffer);
    void processCaptureBuffer(CaptureBuffer& buffer);

    LevelCapture& m_capture;
    LevelDisplay& m_display;
    Xtimer m_timer;
    std::unique_ptr<std::array<CaptureBuffer, kRingSize>> m_buffers;
    WaveTrace m_left;
    WaveTrace m_right;
    Peaks m_peaks;
    int m_currentBuffer = 0;
};

}  // namespace kelm
