#pragma once

#include "capture/CaptureDevices.h"

#include <QHash>

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
}  // namespace AlsaNames

}  // namespace kelm
