#pragma once

#include <QString>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace kelm {

class SoundCardClaim;

// One opener per sound card. A card's own capture device (hw:, plughw:,
// front:) takes one opener and refuses the next (EBUSY), so the level meters
// and the recording engine never open the same card both at once: the meters
// capture the card themselves only while the engine's sources do not hold it;
// while they do, the engine hands the meters the sound it captures from it.
//
// The engine claims a card before it opens it (probe included) and holds the
// claim until its sources have closed the device; a claim waits for the
// meters to close their own capture of the card first. The meters' capture
// thread asks before it opens the card and says when it has closed it.
//
// Thread-safe: the meters call from the GUI thread and their capture thread,
// the engine from its own thread and GStreamer's streaming threads. Held by
// shared_ptr: a claim, and a capture thread that does not return, keep it.
class SoundCardSharing final : public std::enable_shared_from_this<SoundCardSharing> {
public:
    // Interleaved 16-bit stereo frames at 44100 Hz.
    using SoundSink = std::function<void(const std::int16_t* frames, int frameCount)>;
    // Whether two ALSA PCM names open the same device of the same card.
    using SameDevice = std::function<bool(const QString& a, const QString& b)>;

    // Without `sameDevice`, names are compared by sameDeviceByName().
    static std::shared_ptr<SoundCardSharing> create(SameDevice sameDevice = {});

    // By name: equal names, or the same card ("CARD=x" or the first argument
    // of "hw:0,1"-style names) and the same device ("DEV=n" or the second
    // argument; 0 when none is given). "plughw:CARD=X" and "hw:CARD=X,DEV=0"
    // are the same device; "default" and "pulse" are devices of their own.
    static bool sameDeviceByName(const QString& a, const QString& b);

    // --- the level meters
    // The card the meters show (empty: none), and where the engine's sound of
    // that card goes while the engine holds it. Called from the GUI thread.
    void setMeterCard(const QString& pcm, SoundSink sink);
    // The meters' capture thread is about to open `pcm`. False while the
    // engine holds that device (then it must not be opened); otherwise the
    // device counts as held by the meters until endMeterCapture().
    bool beginMeterCapture(const QString& pcm);
    // The meters' own capture of `pcm` is closed.
    void endMeterCapture(const QString& pcm);
    // Whether the engine holds (or is about to open) this device.
    bool engineHolds(const QString& pcm) const;

    // --- the recording engine
    // Takes the device for the engine: waits, up to `timeoutMs`, for the
    // meters to close their own capture of it. The claim lasts until the
    // last copy of the returned pointer goes; it tells whether the meters
    // let go in time (if not, the engine's open will find the card busy).
    std::shared_ptr<SoundCardClaim> claim(const QString& pcm, int timeoutMs);

private:
    friend class SoundCardClaim;
    explicit SoundCardSharing(SameDevice sameDevice);
    bool same(const QString& a, const QString& b) const;
    bool meterHoldsLocked(const QString& pcm) const;
    bool engineHoldsLocked(const QString& pcm) const;
    void release(std::uint64_t claimId);
    void deliver(const QString& pcm, const std::int16_t* frames, int frameCount);

    SameDevice m_sameDevice;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    QString m_meterCard;
    SoundSink m_meterSink;
    std::vector<QString> m_meterHeld;  // one entry per open capture of the meters
    struct EngineHold {
        std::uint64_t id;
        QString pcm;
    };
    std::vector<EngineHold> m_engineHeld;
    std::uint64_t m_nextClaimId = 1;
};

// The engine's hold on one sound card device; released when it goes.
class SoundCardClaim final {
public:
    ~SoundCardClaim();
    SoundCardClaim(const SoundCardClaim&) = delete;
    SoundCardClaim& operator=(const SoundCardClaim&) = delete;

    const QString& pcm() const { return m_pcm; }
    // False when the meters still had the card open when the claim gave up
    // waiting.
    bool metersLetGo() const { return m_metersLetGo; }
    // Hands sound captured from the card to the meters, when they show this
    // card. Interleaved 16-bit stereo at 44100 Hz; any thread.
    void deliver(const std::int16_t* frames, int frameCount) const;

private:
    friend class SoundCardSharing;
    SoundCardClaim(std::shared_ptr<SoundCardSharing> sharing, std::uint64_t id, QString pcm,
                   bool metersLetGo);
    std::shared_ptr<SoundCardSharing> m_sharing;
    std::uint64_t m_id;
    QString m_pcm;
    bool m_metersLetGo;
};

}  // namespace kelm
