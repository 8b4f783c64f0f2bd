#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

namespace kelm {

// Which of a channel's recordings have outlived the days they are kept, and
// the files that go with each: its timecode subtitles and its preview copy.
// The age is the day in the recording's name against today, in whole days:
// kept for 30 days, a recording named 31 days ago goes, one named 30 days ago
// stays. Only names in KELM's recording form with the channel's own short
// name ever go; the running recording never does, however old its name.
namespace RetentionRule {

struct Expired {
    QString recording;       // a file name in the media folder
    QStringList companions;  // those of its files that are there too
};

// `fileNames`: the media folder's file names. `keepDays` 0 keeps everything.
QList<Expired> expired(const QStringList& fileNames, const QString& channelShortName,
                       const QDate& today, int keepDays, const QString& runningFileName);

}  // namespace RetentionRule
}  // namespace kelm
