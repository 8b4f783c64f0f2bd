#pragma once

#include "RecorderContext.h"
#include "capture/CaptureDevices.h"

namespace kelm {

class StateBinding;
class VideoDeviceList;
struct SourceLists;

// The four tuner lists of the video frame (standard, pixel format, channel,
// cable or antenna): filled from the tables, each choice checked against the
// chosen capture device and handed to the encoder at once (which brings the
// device to it before its picture source streams), written onto its line of
// the state file, and restored from there whenever a device input is chosen.
//
// The encoder is prepared again after the settings change while it is
// stopped, once per change of the operator and once per restore, however
// many lists the restore selects (PrepareBatch).
class TunerSettings final {
public:
    TunerSettings(RecorderContext& context, SourceLists& sources, StateBinding& stateBinding,
                  VideoDeviceList& videoDevices)
        : m_ctx(context), m_sources(sources), m_state(stateBinding), m_devices(videoDevices) {}

    // Connects the four lists' selection handlers.
    void wire();

    // Fills standards, pixel formats and tuner input types (channels stay).
    void fillTunerLists();
    // Selects the saved lines 10, 8, 9 and 11 (or each list's default): the
    // tuner input type first, so the channel is found on its own table.
    // Each is applied and saved; then the encoder is prepared again.
    void restoreTunerSettings();
    // While the encoder is stopped: prepares it again and, when the live
    // picture is wanted, shows the source's picture on the monitor. Inside a
    // PrepareBatch, only once when the outermost batch ends.
    void reapplyPreparedState();

    void channelSelected();
    void pixelFormatSelected();
    void tvTypeSelected();
    void tvFormatSelected();

    // The device input chosen in the input list (-1: none).
    void setInput(int input);
    // The settings of a video file: nothing of a device.
    void clearSettings() { m_settings = {}; }
    const VideoCaptureSettings& settings() const { return m_settings; }
    // Fills the channel list with the channels of the chosen input's tuner
    // on the current table, keeping the channel shown when the table has it.
    void fillChannels();

    // Collects the preparations asked for while it lives into one, made when
    // the outermost batch ends.
    class PrepareBatch final {
    public:
        explicit PrepareBatch(TunerSettings& tuner) : m_tuner(tuner) { ++m_tuner.m_batchDepth; }
        ~PrepareBatch();
        PrepareBatch(const PrepareBatch&) = delete;
        PrepareBatch& operator=(const PrepareBatch&) = delete;

    private:
        TunerSettings& m_tuner;
    };

private:
    QString device() const;
    // Hands the settings to the encoder. During a recording a change the
    // device cannot take while streaming is kept for the next start, and the
    // log says so, naming the choice (`what`).
    void settingsChanged(const QString& what);
    void prepareNow();

    RecorderContext& m_ctx;
    SourceLists& m_sources;
    StateBinding& m_state;
    VideoDeviceList& m_devices;
    VideoCaptureSettings m_settings;
    int m_batchDepth = 0;
    bool m_prepareWanted = false;
    bool m_watchingRecordingEnd = false;
    bool m_waitingForRecordingEnd = false;
};

}  // namespace kelm
