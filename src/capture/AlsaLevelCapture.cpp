#include "AlsaLevelCapture.h"

#include "AlsaSoundCards.h"

#include <alsa/asoundlib.h>
#include <algorithm>

namespace kelm {
namespace {

constexpr unsigned kRate = 44100;
constexpr unsigned kBufferUs = 1'000'000;
constexpr unsigned kPeriodUs = 40'000;

snd_pcm_t* openCapture(const QString& name) {
    snd_pcm_t* pcm = nullptr;
    if (snd_pcm_open(&pcm, name.toUtf8().constData(), SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK) < 0)
        return nullptr;
    snd_pcm_hw_params_t* hw = nullptr;
    snd_pcm_hw_params_alloca(&hw);
    unsigned rate = kRate;
    unsigned bufferUs = kBufferUs;
    unsigned periodUs = kPeriodUs;
    if (snd_pcm_hw_params_any(pcm, hw) < 0 ||
        snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED) < 0 ||
        snd_pcm_hw_params_set_format(pcm, hw, SND_PCM_FORMAT_S16_LE) < 0 ||
        snd_pcm_hw_params_set_channels(pcm, hw, 2) < 0 ||
        snd_pcm_hw_params_set_rate_near(pcm, hw, &rate, nullptr) < 0 ||
        snd_pcm_hw_params_set_buffer_time_near(pcm, hw, &bufferUs, nullptr) < 0 ||
        snd_pcm_hw_params_set_period_time_near(pcm, hw, &periodUs, nullptr) < 0 ||
        snd_pcm_hw_params(pcm, hw) < 0 || snd_pcm_start(pcm) < 0) {
        snd_pcm_close(pcm);
        return nullptr;
    }
    // The sound server's plug-in only starts delivering once a read has
    // waited for it: one frame is waited for here (one fragment, tens of ms),
    // and every later read takes only what is there.
    std::int16_t primer[2];
    snd_pcm_nonblock(pcm, 0);
    const snd_pcm_sframes_t primed = snd_pcm_readi(pcm, primer, 1);
    snd_pcm_nonblock(pcm, 1);
    if (primed < 0 && snd_pcm_recover(pcm, int(primed), 1) < 0) {
        snd_pcm_close(pcm);
        return nullptr;
    }
    return pcm;
}

}  // namespace

void AlsaLevelCapture::PcmClose::operator()(snd_pcm_t* pcm) const {
    snd_pcm_close(pcm);
}

AlsaLevelCapture::AlsaLevelCapture(const AlsaSoundCards& cards) : m_cards(cards) {}

AlsaLevelCapture::~AlsaLevelCapture() {
    close();
}

bool AlsaLevelCapture::open(const QString& card) {
    close();
    const QString pcm = m_cards.pcmName(card);
    const QString shared = AlsaNames::sharedCapture(pcm);
    snd_pcm_t* handle = openCapture(shared);
    if (!handle && shared != pcm) handle = openCapture(pcm);
    m_pcm.reset(handle);
    return handle != nullptr;
}

bool AlsaLevelCapture::collect() {
    if (!m_pcm) return false;
    while (CaptureBuffer* b = m_queue.head()) {
        snd_pcm_sframes_t n = snd_pcm_avail_update(m_pcm.get());
        if (n > 0) {
            const snd_pcm_uframes_t space =
                snd_pcm_uframes_t(CaptureBuffer::kFrames - b->framesRecorded);
            n = snd_pcm_readi(m_pcm.get(), b->samples.data() + size_t(b->framesRecorded) * 2,
                              std::min(snd_pcm_uframes_t(n), space));
        }
        if (n == -EAGAIN) return true;
        if (n < 0) {
            // An overrun or a suspend: start again; anything else is a lost device.
            if (snd_pcm_recover(m_pcm.get(), int(n), 1) < 0) return false;
            snd_pcm_start(m_pcm.get());
            return true;
        }
        if (n == 0) return true;
        m_queue.advance(int(n));
    }
    return true;
}

void AlsaLevelCapture::close() {
    m_queue.returnAll();
    if (m_pcm) {
        snd_pcm_drop(m_pcm.get());
        m_pcm.reset();
    }
}

}  // namespace kelm
