#pragma once

#include <QDateTime>
#include <QString>

namespace kelm {

// One file of a recording, as KELM named it: a planned recording that breaks
// off and goes on has one of these for every file.
struct RecordingFile {
    QString path;
    QDateTime start;       // local time of the file's first sample, to the second its name gives
    qint64 plannedMs = 0;  // the length planned for this file; 0: no limit
    QDateTime firstSampleUtc;  // when its first sample was captured, to the ms, once started

    bool isValid() const { return !path.isEmpty() && start.isValid(); }
};

// Told about every recording file as it starts and as it closes, whatever
// closed it: its planned end, the operator, a failure, or KELM ending.
// GUI thread.
class RecordingFileObserver {
public:
    virtual ~RecordingFileObserver() = default;
    virtual void recordingFileStarted(const RecordingFile& file) = 0;
    // `recordedMs` is the media time the file holds.
    virtual void recordingFileClosed(const RecordingFile& file, qint64 recordedMs) = 0;
};

}  // namespace kelm
