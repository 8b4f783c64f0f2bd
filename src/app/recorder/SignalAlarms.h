#pragma once

#include "capture/PictureWatch.h"
#include "capture/SilenceWatch.h"

#include <QMetaObject>

#include <functional>
#include <optional>
#include <vector>

namespace kelm {

class Encoder;
class EventLog;
class StatusBar;
struct SourceLists;

// The alarms on the recorded signal: dead air, a black picture, a frozen
// picture. While a recording runs, the encoder's measures of the sound and
// pictures it records feed the watches (core/capture) as they come; each
// alarm is logged when it begins and when it ends, and the alarms running
// are the state the status bar shows (this is their one owner). A recording
// that ends during an alarm ends the alarm with it.
//
// A picture file's source is still by design, so a recording of one is not
// watched for a frozen picture. GUI thread only.
class SignalAlarms final {
public:
    struct Parts {
        const Clock& clock;
        EventLog& log;
        std::function<Encoder*()> encoder;  // null until created at start-up
        StatusBar& statusBar;
        const SourceLists& sources;  // is the picture a picture file?
    };

    explicit SignalAlarms(Parts parts) : m_parts(std::move(parts)) {}
    ~SignalAlarms() { disconnect(); }
    SignalAlarms(const SignalAlarms&) = delete;
    SignalAlarms& operator=(const SignalAlarms&) = delete;

    // The status tick: follows the encoder's run state. A recording seen
    // running is watched; one seen stopped ends its alarms.
    void tick();
    // The recording has ended (the program's end finished it): its alarms end now.
    void recordingEnded();

    bool watching() const { return m_silence.has_value(); }
    bool running(SignalAlarm alarm) const;

private:
    // The encoder the measures come from, connected once it exists.
    Encoder* connected();
    void disconnect();
    void begin();
    void soundMeasured(const SoundLevels& levels);
    void pictureMeasured(const PictureMeasures& measures);
    // A measure came: a recording that runs and is not watched yet is now.
    bool watchingRecording();
    void apply(const SignalAlarmEvent& event);
    void show();

    Parts m_parts;
    Encoder* m_connectedTo = nullptr;
    QMetaObject::Connection m_soundLink;
    QMetaObject::Connection m_pictureLink;
    std::optional<SilenceWatch> m_silence;  // set while a recording is watched
    std::optional<PictureWatch> m_picture;
    std::vector<SignalAlarmEvent> m_running;  // the alarms running, in the order they began
};

}  // namespace kelm
