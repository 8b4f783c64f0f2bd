#include "capture/VideoDeviceNames.h"

#include <algorithm>

namespace kelm::VideoDeviceNames {

namespace {

QString withBus(const Card& card) {
    return card.name + QStringLiteral(" (") + card.bus + u')';
}

}  // namespace

QStringList entries(const QList<Card>& cards) {
    QStringList result;
    for (const Card& card : cards) {
        if (card.name.isEmpty()) continue;
        const bool shared = std::any_of(cards.begin(), cards.end(), [&](const Card& other) {
            return other.name == card.name && other.bus != card.bus;
        });
        const QString entry = shared ? withBus(card) : card.name;
        if (!result.contains(entry)) result << entry;
    }
    return result;
}

bool names(const QString& entry, const Card& card) {
    return !entry.isEmpty() && (entry == card.name || entry == withBus(card));
}

}  // namespace kelm::VideoDeviceNames
