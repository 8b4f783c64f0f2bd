#pragma once

#include "seal/SealFile.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <atomic>

namespace kelm {

// Writing a channel's seal of one day (SealFile.h has the format). The work
// reads whole recordings: it runs off the GUI thread (SealWorker).
namespace DaySeal {

// One line's worth of what is to be sealed: a file, hashed when written, or
// a comment line as SealFile makes them.
struct Entry {
    QString path;              // a file in the media folder; empty for a comment
    QDateTime firstSampleUtc;  // of the recording the file belongs to
    qint64 lengthMs = -1;      // its media length
    QString comment;           // a comment line, "# ..."

    static Entry file(const QString& path, const QDateTime& firstSampleUtc, qint64 lengthMs) {
        return {path, firstSampleUtc, lengthMs, {}};
    }
    static Entry line(const QString& comment) { return {{}, {}, -1, comment}; }
};

struct Outcome {
    QString sealPath;
    QStringList sealed;    // the file names sealed
    QStringList problems;  // KELM's own sentences, each naming the file
    bool ok() const { return problems.isEmpty(); }
};

// Appends `entries` to "<mediaDir>/<short>-<day>.sha256". A new seal begins
// with the chain: the hash and name of the channel's newest earlier seal in
// the folder, or the line that says there is none. A file that cannot be read
// gets a comment saying so instead of a checkable line. The text is written
// at once and synced to the disk. `cancel` ends the hashing early; nothing is
// written then.
Outcome append(const QString& mediaDir, const QString& channelShortName, const QDate& day,
               const QList<Entry>& entries, const std::atomic_bool* cancel = nullptr);

// The newest seal of the channel in `mediaDir` dated before `day`: its file
// name, or empty when there is none.
QString previousSeal(const QString& mediaDir, const QString& channelShortName, const QDate& day);

}  // namespace DaySeal
}  // namespace kelm
