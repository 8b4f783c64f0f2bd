#include "TunerSettings.h"

#include "EncoderRequests.h"
#include "FormParts.h"
#include "ShellPorts.h"
#include "StateBinding.h"
#include "capture/CaptureDevices.h"
#include "capture/TunerTables.h"
#include "encoder/Encoder.h"
#include "recorder/EventLog.h"
#include "recorder/LastState.h"

#include <QComboBox>

namespace kelm {

namespace {
void refill(QComboBox* list, const QStringList& entries) {
    const QSignalBlocker quiet(list);
    list->clear();
    list->setEnabled(true);
    list->addItems(entries);
    list->setCurrentIndex(-1);  // filling chooses nothing
}
}  // namespace

TunerSettings::PrepareBatch::~PrepareBatch() {
    if (--m_tuner.m_batchDepth == 0 && m_tuner.m_prepareWanted) m_tuner.prepareNow();
}

void TunerSettings::wire() {
    const SourceLists& f = m_sources;
    QObject::connect(f.channel, &QComboBox::activated, f.channel, [this] { channelSelected(); });
    QObject::connect(f.pixelFormat, &QComboBox::activated, f.pixelFormat,
                     [this] { pixelFormatSelected(); });
    QObject::connect(f.tunerType, &QComboBox::activated, f.tunerType, [this] { tvTypeSelected(); });
    QObject::connect(f.tvStandard, &QComboBox::activated, f.tvStandard,
                     [this] { tvFormatSelected(); });
}

QString TunerSettings::device() const {
    return m_sources.videoSource->currentText();
}

void TunerSettings::fillTunerLists() {
    SourceLists& f = m_sources;
    refill(f.tvStandard, TunerTables::names(TunerTables::standards()));
    refill(f.pixelFormat, TunerTables::names(TunerTables::pixelFormats()));
    refill(f.tunerType, TunerTables::tunerInputTypes());
}

void TunerSettings::setInput(int input) {
    m_settings.input = input;
    settingsChanged(m_sources.videoInput->currentText());
}

void TunerSettings::fillChannels() {
    QComboBox* list = m_sources.channel;
    const QString shown = list->currentText();
    const QSignalBlocker quiet(list);
    list->clear();
    const int highest = m_devices.highestChannel(device(), m_settings);
    for (int n = 1; n <= highest; ++n) list->addItem(QString::number(n));
    list->setCurrentIndex(list->findText(shown, Qt::MatchExactly));
}

void TunerSettings::settingsChanged(const QString& what) {
    Encoder* encoder = m_ctx.encoder();
    if (!encoder) return;
    const bool deferred = encoder->runState() == RunState::Running &&
                          !encoder->videoCaptureSettings().sameStreamingSettings(m_settings);
    encoder->setVideoCaptureSettings(m_settings);
    if (!deferred) return;
    // The recording keeps its picture as it started; the choice is kept and
    // takes effect when the recording is over.
    m_ctx.log.logEvent(
        QStringLiteral("Felvétel közben nem állítható át, a felvétel után lép érvénybe: ") + what);
    m_waitingForRecordingEnd = true;
    if (!m_watchingRecordingEnd) {
        m_watchingRecordingEnd = true;
        QObject::connect(encoder, &Encoder::runStateChanged, m_sources.tvStandard,
                         [this](RunState state) {
                             if (state != RunState::Stopped || !m_waitingForRecordingEnd) return;
                             m_waitingForRecordingEnd = false;
                             reapplyPreparedState();
                         });
    }
}

void TunerSettings::channelSelected() {
    QComboBox* list = m_sources.channel;
    bool isNumber = false;
    const int wanted = list->currentText().toInt(&isNumber);
    if (isNumber) {
        // The tuner is tuned while the device streams; the encoder keeps the
        // channel for the next time it brings the device up.
        m_settings.channel = wanted;
        const auto current = m_devices.currentChannel(device(), m_settings);
        if (!current || *current != wanted) m_devices.tune(device(), m_settings);
        settingsChanged(list->currentText());
    }
    m_state.saveStateLine(LastState::TvChannel, list);
}

void TunerSettings::pixelFormatSelected() {
    QComboBox* list = m_sources.pixelFormat;
    if (const auto value = TunerTables::valueOf(TunerTables::pixelFormats(), list->currentText())) {
        // A format the device does not offer leaves the format to the device
        // and the pipeline, as "AUTO" does.
        m_settings.pixelFormat = m_devices.checkPixelFormat(device(), *value) == DeviceResult::Done
                                     ? *value
                                     : TunerTables::kAutoPixelFormat;
        settingsChanged(list->currentText());
    }
    reapplyPreparedState();
    m_state.saveStateLine(LastState::PixelFormat, list);
}

void TunerSettings::tvTypeSelected() {
    SourceLists& f = m_sources;
    QComboBox* list = f.tunerType;
    const int type = list->currentIndex();
    if ((type == 0 || type == 1) && type != m_settings.tunerInput) {
        // Each input type has its own channel table: the list gets its
        // channels, and the tuner goes to the channel shown on the new table.
        m_settings.tunerInput = type;
        if (f.channel->isEnabled()) {
            fillChannels();
            bool isNumber = false;
            const int shown = f.channel->currentText().toInt(&isNumber);
            m_settings.channel = isNumber ? shown : 0;
            if (isNumber) m_devices.tune(device(), m_settings);
        }
        settingsChanged(list->currentText());
    }
    reapplyPreparedState();
    m_state.saveStateLine(LastState::TvType, list);
}

void TunerSettings::tvFormatSelected() {
    QComboBox* list = m_sources.tvStandard;
    if (const auto value = TunerTables::valueOf(TunerTables::standards(), list->currentText())) {
        // Asked, not set: the device is asked whether its input takes the
        // standard, which it answers while it streams. A standard it refuses
        // is still remembered (the device keeps its own); a device that
        // cannot be reached ends the choice here, unsaved.
        const DeviceResult taken = m_devices.checkStandard(device(), m_settings.input, *value);
        if (taken == DeviceResult::Failed) return;
        m_settings.analogStandard = taken == DeviceResult::Done ? *value : 0;
        settingsChanged(list->currentText());
    }
    reapplyPreparedState();
    m_state.saveStateLine(LastState::TvStandard, list);
}

void TunerSettings::reapplyPreparedState() {
    if (m_batchDepth > 0) {
        m_prepareWanted = true;
        return;
    }
    prepareNow();
}

void TunerSettings::prepareNow() {
    m_prepareWanted = false;
    Encoder* encoder = m_ctx.encoder();
    if (!encoder || encoder->runState() != RunState::Stopped) return;
    m_ctx.encoderRequests.prepare();
    if (m_ctx.state.previewWanted) m_ctx.monitor.attachSourceView();
}

void TunerSettings::restoreTunerSettings() {
    const auto state = m_state.loadState();
    if (!state) return;
    const PrepareBatch once(*this);
    SourceLists& f = m_sources;
    const auto restore = [&](int line, QComboBox* list, const QString& fallback,
                             void (TunerSettings::*handler)()) {
        if (!state->has(line)) return;
        const auto onSelected = [this, handler] { (this->*handler)(); };
        setListText(list, state->line(line), onSelected);
        if (list->currentIndex() < 0) setListText(list, fallback, onSelected);
    };
    // The input type decides the channel table, so it comes before the channel.
    restore(LastState::TvType, f.tunerType, TunerTables::kDefaultTunerInput,
            &TunerSettings::tvTypeSelected);
    restore(LastState::TvChannel, f.channel, QString::number(TunerTables::kDefaultChannel),
            &TunerSettings::channelSelected);
    if (state->has(LastState::TvChannel)) {
        bool isNumber = false;
        const int shown = f.channel->currentText().toInt(&isNumber);
        if (isNumber) {
            m_settings.channel = shown;
            m_devices.tune(device(), m_settings);
        }
    }
    restore(LastState::PixelFormat, f.pixelFormat, TunerTables::kDefaultPixelFormat,
            &TunerSettings::pixelFormatSelected);
    restore(LastState::TvStandard, f.tvStandard, TunerTables::kDefaultStandard,
            &TunerSettings::tvFormatSelected);
    reapplyPreparedState();
}

}  // namespace kelm
