#pragma once

#include <QString>
#include <array>
#include <cstdint>

namespace kelm {

// One buffer of the level meters' capture ring: 3072 frames of 16-bit signed
// stereo (left, right). `queued` is the meter's mark that the buffer is handed
// to the device; the device sets `done` when it has filled the buffer.
struct CaptureBuffer {
    static constexpr int kFrames = 3072;
    static constexpr int kBytes = kFrames * 4;
    std::array<std::int16_t, size_t(kFrames) * 2> samples{};
    int framesRecorded = 0;
    bool queued = false;
    bool done = false;
};

// The device's queue of handed-over buffers, filled in the order they were
// added. Fixed capacity, no allocation.
class CaptureQueue final {
public:
    static constexpr int kCapacity = 32;

    // False when the queue is full.
    bool push(CaptureBuffer& buffer);
    // The buffer being filled, or null when none is queued.
    CaptureBuffer* head() const { return m_count > 0 ? m_slots[size_t(m_head)] : nullptr; }
    // The head buffer received `frames` more frames: when full it is marked
    // done and leaves the queue.
    void advance(int frames);
    // Every buffer still queued is returned marked done (a device reset).
    void returnAll();
    int size() const { return m_count; }

private:
    std::array<CaptureBuffer*, kCapacity> m_slots{};
    int m_head = 0;
    int m_count = 0;
};

// The level meters' own capture of a sound card: 16-bit stereo at 44100 Hz.
// It never locks the recording out of the card: while the recording engine's
// sources hold the card, the meters get the engine's sound of it instead.
// GUI thread only; no call waits for the card.
class LevelCapture {
public:
    virtual ~LevelCapture() = default;
    // Starts capturing the card. False when it cannot be opened; a capture
    // that opens the card in the background may return true for a card that
    // does not answer yet (the meters then get nothing until it does).
    virtual bool open(const QString& card) = 0;
    virtual bool isOpen() const = 0;
    // Hands a buffer to the device. False when the device refuses it.
    virtual bool addBuffer(CaptureBuffer& buffer) = 0;
    // Moves what the card has captured since the last call into the queued
    // buffers. False when the device failed for good (lost, unplugged).
    virtual bool collect() = 0;
    // Stops and closes: every buffer still queued is returned marked done.
    virtual void close() = 0;
};

}  // namespace kelm
