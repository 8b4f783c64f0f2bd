#include "AlsaSoundCards.h"

#include <alsa/asoundlib.h>
#include <memory>

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

QStringList AlsaSoundCards::captureDevices() {
    void** raw = nullptr;
    if (snd_device_name_hint(-1, "pcm", &raw) < 0 || !raw) return {};
    std::unique_ptr<void*, HintsDeleter> hints(raw);
    // Probing prints ALSA's complaints about absent cards; they mean "not this one".
    snd_lib_error_set_handler(&quietAlsa);
    QStringList names;
    m_pcmNames.clear();
    for (void** h = hints.get(); *h; ++h) {
        const HintString name = hint(*h, "NAME");
        const HintString desc = hint(*h, "DESC");
        const HintString ioid = hint(*h, "IOID");
        if (!name || (ioid && std::string_view(ioid.get()) != "Input")) continue;
        if (!worthProbing(name.get()) || !acceptsCdQualityCapture(name.get())) continue;
        // The description's first line is the card's human name; the ALSA name
        // is used where there is none.
        QString label =
            desc ? QString::fromUtf8(desc.get()).section(u'\n', 0, 0).trimmed() : QString();
        if (label.isEmpty() || names.contains(label)) label = QString::fromUtf8(name.get());
        if (!names.contains(label)) {
            names << label;
            m_pcmNames.insert(label, QString::fromUtf8(name.get()));
        }
    }
    snd_lib_error_set_handler(nullptr);
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

QString mixerDevice(const QString& pcm) {
    const QString card = cardArgument(pcm);
    return card.isEmpty() ? pcm : QStringLiteral("hw:CARD=") + card;
}

}  // namespace AlsaNames

}  // namespace kelm
