#include "AlsaLevelCapture.h"

#include "AlsaSoundCards.h"
#include "capture/SoundCardSharing.h"

#include <QFileInfo>
#include <QLoggingCategory>

#include <alsa/asoundlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace kelm {
namespace {

Q_LOGGING_CATEGORY(lcLevelCapture, "kelm.capture")

using SteadyClock = std::chrono::steady_clock;

constexpr unsigned kRate = 44100;
constexpr unsigned kBufferUs = 1'000'000;
constexpr unsigned kPeriodUs = 40'000;
// Every wait of the capture thread on the card is at most this long, so a
// stop or the engine's claim is seen within it.
constexpr int kWaitSliceMs = 50;
// A card that cannot be opened, or delivers nothing for this long, is tried
// again after as long.
constexpr int kRetryMs = 2000;
constexpr int kSilenceLimitMs = 2000;
// A call into ALSA that has not returned after this long is logged.
constexpr int kHangLimitMs = 2000;
constexpr int kReadFrames = 1024;
constexpr int kStagingFrames = 2 * int(kRate);
constexpr std::chrono::milliseconds kThreadEndWait{300};

qint64 steadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               SteadyClock::now().time_since_epoch())
        .count();
}

struct PcmClose {
    void operator()(snd_pcm_t* pcm) const {
        snd_pcm_drop(pcm);
        snd_pcm_close(pcm);
    }
};
using PcmHandle = std::unique_ptr<snd_pcm_t, PcmClose>;

QString alsaError(const char* call, int rc) {
    return QStringLiteral("%1: %2").arg(QLatin1StringView(call),
                                        QString::fromLocal8Bit(snd_strerror(rc)));
}

// "CARD=x" naming a card the machine does not have: ALSA lists every card by
// its id under /proc/asound.
bool namesAbsentCard(const QString& pcm) {
    const qsizetype at = pcm.indexOf(QStringLiteral("CARD="));
    if (at < 0) return false;
    QString id = pcm.mid(at + 5).section(u',', 0, 0);
    id.remove(u'\'').remove(u'"');
    bool numeric = false;
    id.toInt(&numeric);
    if (id.isEmpty() || numeric) return false;
    return !QFileInfo::exists(QStringLiteral("/proc/asound/") + id);
}

}  // namespace

// The sound waiting for the GUI thread: a ring of two seconds of frames. Only
// the capture (or the engine's feed) of the current generation may add to it.
struct AlsaLevelCapture::Staging {
    std::mutex mutex;
    std::vector<std::int16_t> ring = std::vector<std::int16_t>(size_t(kStagingFrames) * 2);
    int readAt = 0;
    int count = 0;
    std::uint64_t generation = 0;
    long long delivered = 0;

    void push(std::uint64_t from, const std::int16_t* frames, int frameCount) {
        std::lock_guard lock(mutex);
        if (from != generation) return;
        delivered += frameCount;
        for (int i = 0; i < frameCount; ++i) {
            if (count == kStagingFrames) {  // the GUI thread fell behind: the oldest go
                readAt = (readAt + 1) % kStagingFrames;
                --count;
            }
            const int at = (readAt + count) % kStagingFrames;
            ring[size_t(at) * 2] = frames[size_t(i) * 2];
            ring[size_t(at) * 2 + 1] = frames[size_t(i) * 2 + 1];
            ++count;
        }
    }
    void reset(std::uint64_t to) {
        std::lock_guard lock(mutex);
        generation = to;
        readAt = count = 0;
        delivered = 0;
    }
};

// One open() of a card: its capture thread and what the GUI thread reads of
// it. The thread holds it, so it outlives a close() that does not wait.
struct AlsaLevelCapture::Session {
    QString pcm;
    std::uint64_t generation = 0;
    std::atomic<bool> stop{false};
    std::atomic<qint64> busySinceMs{0};  // when the ALSA call under way began; 0: none
    std::atomic<const char*> busyWith{nullptr};
    bool hangLogged = false;  // GUI thread

    std::mutex endMutex;
    std::condition_variable endChanged;
    bool ended = false;

    // Marks an ALSA call under way for the GUI thread's watch.
    class Busy {
    public:
        Busy(Session& s, const char* call) : m_s(s) {
            m_s.busyWith = call;
            m_s.busySinceMs = steadyMs();
        }
        ~Busy() { m_s.busySinceMs = 0; }
        Busy(const Busy&) = delete;
        Busy& operator=(const Busy&) = delete;

    private:
        Session& m_s;
    };

    // Waits up to `ms`, waking early when told to stop.
    void pause(int ms) {
        const qint64 until = steadyMs() + ms;
        while (!stop && steadyMs() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(std::min(ms, kWaitSliceMs)));
    }

    PcmHandle openCapture(QString* cause);
    // Reads until told to stop or until the engine claims the card (empty
    // result), or until the card fails (its cause).
    QString readUntilStopped(snd_pcm_t* pcm, Staging& staging, const SoundCardSharing* sharing,
                             bool* delivered);
    void run(const std::shared_ptr<Staging>& staging,
             const std::shared_ptr<SoundCardSharing>& sharing);
};

PcmHandle AlsaLevelCapture::Session::openCapture(QString* cause) {
    snd_pcm_t* raw = nullptr;
    int rc = 0;
    {
        Busy busy(*this, "snd_pcm_open");
        rc = snd_pcm_open(&raw, pcm.toUtf8().constData(), SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK);
    }
    if (rc < 0) {
        *cause = alsaError("snd_pcm_open", rc);
        return nullptr;
    }
    PcmHandle handle(raw);
    snd_pcm_hw_params_t* hw = nullptr;
    snd_pcm_hw_params_alloca(&hw);
    unsigned rate = kRate;
    unsigned bufferUs = kBufferUs;
    unsigned periodUs = kPeriodUs;
    Busy busy(*this, "snd_pcm_hw_params");
    const auto step = [&](const char* call, int rc) {
        if (rc < 0 && cause->isEmpty()) *cause = alsaError(call, rc);
        return cause->isEmpty();
    };
    if (!step("snd_pcm_hw_params_any", snd_pcm_hw_params_any(raw, hw)) ||
        !step("access", snd_pcm_hw_params_set_access(raw, hw, SND_PCM_ACCESS_RW_INTERLEAVED)) ||
        !step("format S16_LE", snd_pcm_hw_params_set_format(raw, hw, SND_PCM_FORMAT_S16_LE)) ||
        !step("2 channels", snd_pcm_hw_params_set_channels(raw, hw, 2)) ||
        !step("44100 Hz", snd_pcm_hw_params_set_rate_near(raw, hw, &rate, nullptr)) ||
        !step("buffer time", snd_pcm_hw_params_set_buffer_time_near(raw, hw, &bufferUs, nullptr)) ||
        !step("period time", snd_pcm_hw_params_set_period_time_near(raw, hw, &periodUs, nullptr)) ||
        !step("snd_pcm_hw_params", snd_pcm_hw_params(raw, hw)) ||
        !step("snd_pcm_start", snd_pcm_start(raw)))
        return nullptr;
    // The sound server's plug-in only starts delivering once a read has
    // waited for it: one frame is waited for here (one fragment, tens of ms;
    // for ever if the server has stopped, which only this thread feels).
    if (!AlsaNames::isSoundServerPlugin(raw)) return handle;
    std::int16_t primer[2];
    snd_pcm_nonblock(raw, 0);
    snd_pcm_sframes_t primed = 0;
    {
        Busy primerRead(*this, "the first snd_pcm_readi");
        primed = snd_pcm_readi(raw, primer, 1);
    }
    snd_pcm_nonblock(raw, 1);
    if (primed < 0 && !step("the first snd_pcm_readi", snd_pcm_recover(raw, int(primed), 1)))
        return nullptr;
    return handle;
}

QString AlsaLevelCapture::Session::readUntilStopped(snd_pcm_t* handle, Staging& staging,
                                                    const SoundCardSharing* sharing,
                                                    bool* delivered) {
    std::vector<std::int16_t> frames(size_t(kReadFrames) * 2);
    qint64 lastSoundMs = steadyMs();
    while (!stop && !(sharing && sharing->engineHolds(pcm))) {
        int rc = 0;
        {
            Busy busy(*this, "snd_pcm_wait");
            rc = snd_pcm_wait(handle, kWaitSliceMs);
        }
        snd_pcm_sframes_t n = rc;
        if (rc >= 0) {
            Busy busy(*this, "snd_pcm_readi");
            n = snd_pcm_readi(handle, frames.data(), kReadFrames);
        }
        if (n > 0) {
            staging.push(generation, frames.data(), int(n));
            lastSoundMs = steadyMs();
            *delivered = true;
            continue;
        }
        if (n < 0 && n != -EAGAIN) {
            // An overrun or a suspend: start again; anything else is a lost card.
            Busy busy(*this, "snd_pcm_recover");
            if (const int lost = snd_pcm_recover(handle, int(n), 1); lost < 0)
                return alsaError("snd_pcm_readi", lost);
            snd_pcm_start(handle);
        }
        if (steadyMs() - lastSoundMs > kSilenceLimitMs)
            return QStringLiteral("delivers nothing for %1 ms").arg(kSilenceLimitMs);
    }
    return {};
}

void AlsaLevelCapture::Session::run(const std::shared_ptr<Staging>& staging,
                                    const std::shared_ptr<SoundCardSharing>& sharing) {
    QString logged;  // the cause last logged: each is logged once
    while (!stop) {
        // The engine's sound fills the ring meanwhile.
        if (sharing && !sharing->beginMeterCapture(pcm)) {
            pause(kWaitSliceMs);
            continue;
        }
        QString cause;
        bool delivered = false;
        if (PcmHandle handle = openCapture(&cause))
            cause = readUntilStopped(handle.get(), *staging, sharing.get(), &delivered);
        if (sharing) sharing->endMeterCapture(pcm);
        if (delivered && !logged.isEmpty()) {
            qCInfo(lcLevelCapture).noquote()
                << "level meters: sound card" << pcm << "delivers again";
            logged.clear();
        }
        if (cause.isEmpty() || stop) continue;
        if (cause != logged) {
            qCWarning(lcLevelCapture).noquote()
                << QStringLiteral(
                       "level meters: sound card %1 cannot be captured (%2); tried "
                       "again every %3 ms")
                       .arg(pcm, cause)
                       .arg(kRetryMs);
            logged = cause;
        }
        pause(kRetryMs);
    }
    std::lock_guard lock(endMutex);
    ended = true;
    endChanged.notify_all();
}

AlsaLevelCapture::AlsaLevelCapture(const AlsaSoundCards& cards,
                                   std::shared_ptr<SoundCardSharing> sharing)
    : m_cards(cards), m_sharing(std::move(sharing)), m_staging(std::make_shared<Staging>()) {}

AlsaLevelCapture::AlsaLevelCapture(const AlsaSoundCards& cards)
    : AlsaLevelCapture(cards, nullptr) {}

AlsaLevelCapture::~AlsaLevelCapture() {
    const std::shared_ptr<Session> last = m_session;
    close();
    if (!last) return;
    std::unique_lock lock(last->endMutex);
    if (!last->endChanged.wait_for(lock, kThreadEndWait, [&] { return last->ended; }))
        qCWarning(lcLevelCapture).noquote()
            << "level meters: the capture of" << last->pcm << "is left to end on its own";
}

bool AlsaLevelCapture::open(const QString& card) {
    close();
    const QString pcm = m_cards.pcmName(card);
    if (pcm.isEmpty() || namesAbsentCard(pcm)) return false;
    auto session = std::make_shared<Session>();
    session->pcm = pcm;
    session->generation = ++m_generations;
    m_staging->reset(session->generation);
    if (m_sharing) {
        m_sharing->setMeterCard(pcm, [staging = m_staging, generation = session->generation](
                                         const std::int16_t* frames, int frameCount) {
            staging->push(generation, frames, frameCount);
        });
    }
    std::thread([session, staging = m_staging, sharing = m_sharing] {
        session->run(staging, sharing);
    }).detach();
    m_session = std::move(session);
    return true;
}

bool AlsaLevelCapture::collect() {
    if (!m_session) return false;
    Session& s = *m_session;
    const qint64 since = s.busySinceMs;
    if (since == 0) {
        s.hangLogged = false;
    } else if (!s.hangLogged && steadyMs() - since > kHangLimitMs) {
        const char* call = s.busyWith;
        qCWarning(lcLevelCapture).noquote()
            << "level meters: sound card" << s.pcm
            << "does not answer:" << QLatin1StringView(call ? call : "a call")
            << "has not returned for" << kHangLimitMs << "ms; the meters stay still until it does";
        s.hangLogged = true;
    }
    std::lock_guard lock(m_staging->mutex);
    Staging& staging = *m_staging;
    while (CaptureBuffer* b = m_queue.head()) {
        if (staging.count == 0) break;
        const int n = std::min(staging.count, CaptureBuffer::kFrames - b->framesRecorded);
        for (int i = 0; i < n; ++i) {
            const size_t from = size_t((staging.readAt + i) % kStagingFrames) * 2;
            const size_t to = size_t(b->framesRecorded + i) * 2;
            b->samples[to] = staging.ring[from];
            b->samples[to + 1] = staging.ring[from + 1];
        }
        staging.readAt = (staging.readAt + n) % kStagingFrames;
        staging.count -= n;
        m_queue.advance(n);
    }
    return true;
}

void AlsaLevelCapture::close() {
    m_queue.returnAll();
    if (!m_session) return;
    m_session->stop = true;
    if (m_sharing) m_sharing->setMeterCard({}, {});
    m_staging->reset(0);
    m_session.reset();
}

long long AlsaLevelCapture::framesDelivered() const {
    std::lock_guard lock(m_staging->mutex);
    return m_staging->delivered;
}

}  // namespace kelm
