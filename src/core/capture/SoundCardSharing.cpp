#include "capture/SoundCardSharing.h"

#include <QStringList>

#include <algorithm>
#include <chrono>

namespace kelm {
namespace {

// The card and device a PCM name opens, as far as the name tells:
// "hw:CARD=X,DEV=1" and "front:CARD=X,DEV=1" give X and 1, "hw:1,2" gives 1
// and 2, "plughw:0" gives 0 and 0. A name without arguments ("default",
// "pulse", a defined PCM) gives no card.
struct DeviceName {
    QString card;
    QString device;
};

DeviceName deviceOf(const QString& pcm) {
    const qsizetype colon = pcm.indexOf(u':');
    if (colon < 0) return {};
    QString arguments = pcm.mid(colon + 1);
    arguments.remove(u'\'').remove(u'"');
    DeviceName out;
    int position = 0;
    for (const QString& part : arguments.split(u',', Qt::SkipEmptyParts)) {
        const QString value = part.section(u'=', 1).trimmed();
        const QString key = part.contains(u'=') ? part.section(u'=', 0, 0).trimmed() : QString();
        if (key == u"CARD" || (key.isEmpty() && position == 0))
            out.card = key.isEmpty() ? part : value;
        if (key == u"DEV" || (key.isEmpty() && position == 1))
            out.device = key.isEmpty() ? part : value;
        ++position;
    }
    if (out.device.isEmpty()) out.device = QStringLiteral("0");
    return out;
}

}  // namespace

std::shared_ptr<SoundCardSharing> SoundCardSharing::create(SameDevice sameDevice) {
    return std::shared_ptr<SoundCardSharing>(new SoundCardSharing(std::move(sameDevice)));
}

SoundCardSharing::SoundCardSharing(SameDevice sameDevice) : m_sameDevice(std::move(sameDevice)) {}

bool SoundCardSharing::sameDeviceByName(const QString& a, const QString& b) {
    if (a.isEmpty() || b.isEmpty()) return false;
    if (a == b) return true;
    const DeviceName da = deviceOf(a);
    const DeviceName db = deviceOf(b);
    return !da.card.isEmpty() && da.card == db.card && da.device == db.device;
}

bool SoundCardSharing::same(const QString& a, const QString& b) const {
    return m_sameDevice ? m_sameDevice(a, b) : sameDeviceByName(a, b);
}

bool SoundCardSharing::meterHoldsLocked(const QString& pcm) const {
    return std::any_of(m_meterHeld.begin(), m_meterHeld.end(),
                       [&](const QString& held) { return same(held, pcm); });
}

bool SoundCardSharing::engineHoldsLocked(const QString& pcm) const {
    return std::any_of(m_engineHeld.begin(), m_engineHeld.end(),
                       [&](const EngineHold& held) { return same(held.pcm, pcm); });
}

void SoundCardSharing::setMeterCard(const QString& pcm, SoundSink sink) {
    std::lock_guard lock(m_mutex);
    m_meterCard = pcm;
    m_meterSink = std::move(sink);
}

bool SoundCardSharing::beginMeterCapture(const QString& pcm) {
    std::lock_guard lock(m_mutex);
    if (engineHoldsLocked(pcm)) return false;
    m_meterHeld.push_back(pcm);
    return true;
}

void SoundCardSharing::endMeterCapture(const QString& pcm) {
    {
        std::lock_guard lock(m_mutex);
        const auto it = std::find(m_meterHeld.begin(), m_meterHeld.end(), pcm);
        if (it != m_meterHeld.end()) m_meterHeld.erase(it);
    }
    m_changed.notify_all();
}

bool SoundCardSharing::engineHolds(const QString& pcm) const {
    std::lock_guard lock(m_mutex);
    return engineHoldsLocked(pcm);
}

std::shared_ptr<SoundCardClaim> SoundCardSharing::claim(const QString& pcm, int timeoutMs) {
    std::unique_lock lock(m_mutex);
    const std::uint64_t id = m_nextClaimId++;
    m_engineHeld.push_back({id, pcm});
    const bool letGo = m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                          [&] { return !meterHoldsLocked(pcm); });
    return std::shared_ptr<SoundCardClaim>(new SoundCardClaim(shared_from_this(), id, pcm, letGo));
}

void SoundCardSharing::release(std::uint64_t claimId) {
    std::lock_guard lock(m_mutex);
    m_engineHeld.erase(std::remove_if(m_engineHeld.begin(), m_engineHeld.end(),
                                      [&](const EngineHold& h) { return h.id == claimId; }),
                       m_engineHeld.end());
}

void SoundCardSharing::deliver(const QString& pcm, const std::int16_t* frames, int frameCount) {
    std::lock_guard lock(m_mutex);
    if (m_meterSink && same(m_meterCard, pcm)) m_meterSink(frames, frameCount);
}

SoundCardClaim::SoundCardClaim(std::shared_ptr<SoundCardSharing> sharing, std::uint64_t id,
                               QString pcm, bool metersLetGo)
    : m_sharing(std::move(sharing)), m_id(id), m_pcm(std::move(pcm)), m_metersLetGo(metersLetGo) {}

SoundCardClaim::~SoundCardClaim() {
    m_sharing->release(m_id);
}

void SoundCardClaim::deliver(const std::int16_t* frames, int frameCount) const {
    m_sharing->deliver(m_pcm, frames, frameCount);
}

}  // namespace kelm
