#include "recorder/RetentionRule.h"

#include "encoder/OutputFileName.h"

#include <QSet>

namespace kelm::RetentionRule {

namespace {

// The subtitle maker names its file after the recording with the last
// extension replaced; the preview copy is the recording's name after
// "preview-". The indexed preview copy is shared by every preview of the
// channel and is left to the preview itself.
QStringList companionsOf(const QString& recording) {
    return {OutputFileName::subtitleName(recording), QStringLiteral("preview-") + recording};
}

}  // namespace

QList<Expired> expired(const QStringList& fileNames, const QString& channelShortName,
                       const QDate& today, int keepDays, const QString& runningFileName) {
    QList<Expired> result;
    if (keepDays <= 0 || !today.isValid()) return result;
    const QSet<QString> present(fileNames.begin(), fileNames.end());
    for (const QString& name : fileNames) {
        if (name == runningFileName) continue;
        const auto day = OutputFileName::recordingDay(name, channelShortName);
        if (!day || day->daysTo(today) <= keepDays) continue;
        Expired entry{name, {}};
        for (const QString& companion : companionsOf(name)) {
            if (present.contains(companion)) entry.companions << companion;
        }
        result << entry;
    }
    return result;
}

}  // namespace kelm::RetentionRule
