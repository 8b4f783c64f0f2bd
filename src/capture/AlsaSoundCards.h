#pragma once

#include "capture/CaptureDevices.h"

#include <QHash>

typedef struct _snd_pcm snd_pcm_t;

namespace kelm {

// Sound cards from ALSA's own device list. With a sound server running,
// `default` and `pulse` capture from it.
class AlsaSoundCards final : public SoundCardList {
public:
    QStringList captureDevices() override;

    // The ALSA PCM name of a card of the last listing; a name that was not
    // listed is taken as a PCM name itself.
    QString pcmName(const QString& card) const { return m_pcmNames.value(card, card); }

private:
    QHash<QString, QString> m_pcmNames;
};

// Names of the ALSA devices that belong to a capture PCM.
namespace AlsaNames {
// The control device of the PCM's card: "hw:CARD=x" for a card's own PCMs,
// the PCM's name for plug-ins with a mixer of their own (default, pulse).
QString mixerDevice(const QString& pcm);
// Whether an open PCM is ALSA's plug-in for the PulseAudio sound server (what
// "default" and "pulse" are on a desktop): its own description says so.
bool isSoundServerPlugin(snd_pcm_t* pcm);
// Whether ALSA's configuration defines this PCM as the sound server's
// plug-in (type pulse), read without opening it. A sound server takes any
// number of openers; a card's own devices take one.
bool servedBySoundServer(const QString& pcm);
}  // namespace AlsaNames

}  // namespace kelm
