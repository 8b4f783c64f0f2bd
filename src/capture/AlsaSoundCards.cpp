#include "AlsaSoundCards.h"

#include <alsa/asoundlib.h>
#include <QDebug>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace kelm {
namespace {

struct HintsDeleter {
    void operator()(void** hints) const { snd_device_name_free_hint(hints); }
};
struct CStringDeleter {
    void operator()(char* s) const { std::free(s); }
};
struct PcmDeleter {
    void operator()(snd_pcm_t* pcm) const { snd_pcm_close(pcm); }
};
using HintString = std::unique_ptr<char, CStringDeleter>;

HintString hint(const void* h, const char* id) {
    return HintString(snd_device_name_get_hint(h, id));
}

void quietAlsa(const char*, int, const char*, int, const char*, ...) {}

// Plug-ins that only convert or route for another device, or reach a server
// that is not ALSA's: probing them only prints noise.
bool worthProbing(std::string_view name) {
    for (std::string_view skip : {"null", "jack", "oss", "lavrate", "samplerate", "speexrate",
                                  "upmix", "vdownmix", "dmix", "usbstream", "pipewire"}) {
        if (name.substr(0, name.find(':')) == skip) return false;
    }
    return true;
}

// True when the device opens for capture with 16-bit stereo at 44100 Hz.
bool acceptsCdQualityCapture(const char* name) {
    snd_pcm_t* raw = nullptr;
    if (snd_pcm_open(&raw, name, SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK) < 0) return false;
    std::unique_ptr<snd_pcm_t, PcmDeleter> pcm(raw);
    snd_pcm_hw_params_t* params = nullptr;
    snd_pcm_hw_params_alloca(&params);
    if (snd_pcm_hw_params_any(pcm.get(), params) < 0) return false;
    return snd_pcm_hw_params_test_format(pcm.get(), params, SND_PCM_FORMAT_S16_LE) == 0 &&
           snd_pcm_hw_params_test_channels(pcm.get(), params, 2) == 0 &&
           snd_pcm_hw_params_test_rate(pcm.get(), params, 44100, 0) == 0;
}

}  // namespace

namespace {

// How long the listing waits for its probes. A sound server that does not
// answer (stopped, hung) holds snd_pcm_open for as long as it is away.
constexpr int kProbeDeadlineMs = 1500;

struct Candidate {
    QString name;
    QString label;
};

// The probes' results, shared with the thread that makes them, which may
// outlive the listing when a device hangs.
struct ProbeResults {
    std::mutex lock;
    std::condition_variable done;
    std::vector<int> answers;  // per candidate: -1 not yet, 0 refused, 1 accepted
    bool finished = false;
};

}  // namespace

QStringList AlsaSoundCards::captureDevices() {
    void** raw = nullptr;
    if (snd_device_name_hint(-1, "pcm", &raw) < 0 || !raw) return {};
    std::unique_ptr<void*, HintsDeleter> hints(raw);
    std::vector<Candidate> candidates;
    for (void** h = hints.get(); *h; ++h) {
        const HintString name = hint(*h, "NAME");
        const HintString desc = hint(*h, "DESC");
        const HintString ioid = hint(*h, "IOID");
        if (!name || (ioid && std::string_view(ioid.get()) != "Input")) continue;
        if (!worthProbing(name.get())) continue;
        // The description's first line is the card's human name.
        candidates.push_back(
            {QString::fromUtf8(name.get()),
             desc ? QString::fromUtf8(desc.get()).section(u'\n', 0, 0).trimmed() : QString()});
    }

    // The probes run in order on a thread of their own; the listing waits for
    // them only so long. Probing prints ALSA's complaints about absent cards;
    // they mean "not this one".
    auto results = std::make_shared<ProbeResults>();
    results->answers.assign(candidates.size(), -1);
    snd_lib_error_set_handler(&quietAlsa);
    std::thread([results, names = candidates] {
        for (size_t i = 0; i < names.size(); ++i) {
            const bool accepted = acceptsCdQualityCapture(names[i].name.toUtf8().constData());
            std::lock_guard guard(results->lock);
            results->answers[i] = accepted ? 1 : 0;
        }
        std::lock_guard guard(results->lock);
        results->finished = true;
        results->done.notify_all();
    }).detach();
    std::vector<int> answers;
    bool finished = false;
    {
        std::unique_lock lock(results->lock);
        results->done.wait_for(lock, std::chrono::milliseconds(kProbeDeadlineMs),
                               [&] { return results->finished; });
        answers = results->answers;
        finished = results->finished;
    }
    if (finished) snd_lib_error_set_handler(nullptr);

    QStringList names;
    m_pcmNames.clear();
    for (size_t i = 0; i < candidates.size(); ++i) {
        if (answers[i] == 0) continue;
        // A device that did not answer in time is listed all the same: a
        // recording on it reports what it meets.
        if (answers[i] < 0)
            qWarning().noquote() << "sound card" << candidates[i].name
                                 << "did not answer the probe within" << kProbeDeadlineMs << "ms";
        QString label = candidates[i].label;
        if (label.isEmpty() || names.contains(label)) label = candidates[i].name;
        if (!names.contains(label)) {
            names << label;
            m_pcmNames.insert(label, candidates[i].name);
        }
    }
    return names;
}

namespace AlsaNames {
namespace {
// The value of "CARD=..." in a PCM name such as "sysdefault:CARD=PCH", or empty.
QString cardArgument(const QString& pcm) {
    const qsizetype at = pcm.indexOf(QStringLiteral("CARD="));
    if (at < 0) return {};
    return pcm.mid(at + 5).section(u',', 0, 0);
}
}  // namespace

bool servedBySoundServer(const QString& pcm) {
    // Plain names only ("default", "pulse"): a card's own devices carry
    // arguments ("hw:CARD=x,DEV=0") and are never the server's.
    if (pcm.isEmpty() || pcm.contains(u':')) return false;
    if (snd_config_update() < 0 || !snd_config) return false;
    snd_config_t* definition = nullptr;
    const QByteArray key = QByteArrayLiteral("pcm.") + pcm.toUtf8();
    if (snd_config_search(snd_config, key.constData(), &definition) < 0) return false;
    snd_config_t* type = nullptr;
    const char* value = nullptr;
    if (snd_config_search(definition, "type", &type) < 0 ||
        snd_config_get_string(type, &value) < 0 || !value)
        return false;
    return std::strcmp(value, "pulse") == 0;
}

namespace {
struct OutputClose {
    void operator()(snd_output_t* output) const { snd_output_close(output); }
};
}  // namespace

bool isSoundServerPlugin(snd_pcm_t* pcm) {
    if (snd_pcm_type(pcm) != SND_PCM_TYPE_IOPLUG) return false;
    snd_output_t* raw = nullptr;
    if (snd_output_buffer_open(&raw) < 0) return false;
    std::unique_ptr<snd_output_t, OutputClose> output(raw);
    snd_pcm_dump(pcm, output.get());
    char* text = nullptr;
    const size_t size = snd_output_buffer_string(output.get(), &text);
    return text && QByteArray(text, static_cast<qsizetype>(size)).contains("PulseAudio");
}

QString mixerDevice(const QString& pcm) {
    const QString card = cardArgument(pcm);
    return card.isEmpty() ? pcm : QStringLiteral("hw:CARD=") + card;
}

}  // namespace AlsaNames

}  // namespace kelm
