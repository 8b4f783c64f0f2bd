#pragma once

#include "EncoderRequests.h"
#include "RecorderContext.h"
#include "encoder/Encoder.h"
#include "encoder/EncoderError.h"
#include "recorder/MediaFolderProbe.h"
#include "recorder/RecordingFile.h"

#include <QDateTime>

namespace kelm {

class StatusBar;
class TimeFields;
class Toolbar;
struct SourceLists;

// Prepares the output of a recording and starts the encoder on it, turning
// every failure into the operator's message and a log line.
class EncoderControl final {
public:
    // What the control works with besides the shared context.
    struct Parts {
        const SourceLists& sources;
        TimeFields& timeFields;
        StatusBar& statusBar;
        Toolbar& toolbar;
    };

    EncoderControl(RecorderContext& context, Parts parts) : m_ctx(context), m_parts(parts) {}

    // Binds the audio input, hands over the profile, settles the time fields
    // of an immediate recording, names the output file and sets the length.
    // A rejection by the encoder is returned; start() meets it again.
    // The file is named after the second it is prepared in. `lateMs` is how
    // much of the planned length is already over (a start the clock jumped
    // past): the file is that much shorter.
    EncoderStatus prepareOutputFile(qint64 lateMs = 0);

    // Starts the recording prepared by prepareOutputFile: the sources, then
    // the file. Returns at once; the outcome comes later, and the control
    // reports its own failures. The started handler runs once it records.
    void startEncoder();
    // A start has been asked for and has not succeeded or failed yet.
    bool starting() const { return m_starting; }
    // The operator stopped: a start on its way is not reported, and a
    // recording it brings up is stopped at once.
    void abandonStart();
    // Run on every scheduler tick: a start whose media folder has stopped
    // answering is given up, and the operator told why.
    void tick();

    // Goes on with a recording that broke off: a new file named after the
    // current second, for the rest of the planned length. The caller has
    // brought the sources up first, so the file's first sample falls into
    // that second. Reports nothing; `done` hears the outcome and decides.
    void resumeRecording(qint64 remainingMs, EncoderRequests::Outcome done);

    // The file the encoder was last started on: its path, the second it was
    // named after and its planned length.
    RecordingFile startedFile() const;

    // Runs after every start that left the encoder recording (not after a
    // recording goes on in a new file).
    void setStartedHandler(std::function<void()> handler) { m_onStarted = std::move(handler); }

    // A failure's cause in the operator's words, with the encoder's sources
    // and file as its places.
    QString failureCause(const EncoderStatus& status) const;

    // The byte rate of a profile text, for the disk-space checks; 0 when it
    // does not parse.
    static qint64 profileBytesPerSecond(const QString& profileText);

    // The end of a recording's data view binding, for the recording control.
    void bindPreviewToMonitor();

private:
    // Handles a failed start. Returns true when the start goes on: the name
    // was taken, and a start under the extended name has been asked for.
    bool handleStartError(const EncoderStatus& status, bool renameAllowed, quint64 attempt);
    // The encoder answered the start of `attempt`.
    void startAnswered(const EncoderStatus& started, bool renameAllowed, quint64 attempt);
    void fatalComponentMissing();
    // Whether, by the folder's answer, a file can be created in the media
    // folder and is likely to fit; a folder that cannot be used is reported
    // and ends the start.
    bool checkMediaFolder(const MediaFolderProbe::Answer& answer);
    // The folder can be used: the sources are brought up for start `attempt`.
    void startSources(quint64 attempt);
    // The media folder did not answer: the start is given up and reported.
    void folderSilent();
    // The sources answered `askedMono` ms (monotonic) after they were asked
    // for. When they took a second or more (a sound server that answers
    // late), the file is named again after the second it really starts in,
    // for the rest of its planned length, and the log says so. False when
    // nothing of the planned length is left.
    bool sourcesCameInTime(qint64 askedMono);
    void nameOutputFile(const QDateTime& startedAt, qint64 durationMs);

    RecorderContext& m_ctx;
    Parts m_parts;
    std::function<void()> m_onStarted;
    bool m_starting = false;
    bool m_waitingForFolder = false;  // the start waits for the media folder's answer
    quint64 m_startAttempt = 0;       // numbers the starts, so a late answer finds its own
    RecordingFile m_prepared;         // as last named; the path is the encoder's
    RecordingTags m_plan;             // what every file's header says of the recording
};

}  // namespace kelm
