#include "TunerSettings.h"

#include "EncoderRequests.h"
#include "MainForm.h"
#include "ShellPorts.h"
#include "StateBinding.h"
#include "capture/CaptureDevices.h"
#include "capture/TunerTables.h"
#include "encoder/Encoder.h"
#include "recorder/LastState.h"

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

void TunerSettings::wire() {
    const MainForm& f = m_ctx.form;
    QObject::connect(f.cboChannel, &QComboBox::activated, f.cboChannel,
                     [this] { channelSelected(); });
    QObject::connect(f.cboPixelFormat, &QComboBox::activated, f.cboPixelFormat,
                     [this] { pixelFormatSelected(); });
    QObject::connect(f.cboTVType, &QComboBox::activated, f.cboTVType, [this] { tvTypeSelected(); });
    QObject::connect(f.cboTVFormat, &QComboBox::activated, f.cboTVFormat,
                     [this] { tvFormatSelected(); });
}

QString TunerSettings::device() const {
    return m_ctx.form.cboVideoSource->currentText();
}

void TunerSettings::FillTunerLists() {
    MainForm& f = m_ctx.form;
    refill(f.cboTVFormat, TunerTables::names(TunerTables::standards()));
    refill(f.cboPixelFormat, TunerTables::names(TunerTables::pixelFormats()));
    refill(f.cboTVType, TunerTables::tunerInputTypes());
}

void TunerSettings::channelSelected() {
    QComboBox* list = m_ctx.form.cboChannel;
    bool isNumber = false;
    const int wanted = list->currentText().toInt(&isNumber);
    const auto current = m_devices.currentChannel(device());
    if (isNumber && (!current || *current != wanted)) m_devices.setChannel(device(), wanted);
    m_state.SaveStateLine(LastState::TvChannel, list);
}

void TunerSettings::pixelFormatSelected() {
    QComboBox* list = m_ctx.form.cboPixelFormat;
    if (const auto value = TunerTables::valueOf(TunerTables::pixelFormats(), list->currentText()))
        m_devices.setPixelFormat(device(), *value);
    ReapplyPreparedState();
    m_state.SaveStateLine(LastState::PixelFormat, list);
}

void TunerSettings::tvTypeSelected() {
    QComboBox* list = m_ctx.form.cboTVType;
    m_devices.setTunerInputType(device(), list->currentIndex());
    ReapplyPreparedState();
    m_state.SaveStateLine(LastState::TvType, list);
}

void TunerSettings::tvFormatSelected() {
    QComboBox* list = m_ctx.form.cboTVFormat;
    if (const auto value = TunerTables::valueOf(TunerTables::standards(), list->currentText())) {
        // A standard the device refuses is still remembered; a device that
        // cannot be reached ends the choice here, unsaved.
        if (m_devices.setStandard(device(), *value) == DeviceResult::Failed) return;
    }
    ReapplyPreparedState();
    m_state.SaveStateLine(LastState::TvStandard, list);
}

void TunerSettings::ReapplyPreparedState() {
    Encoder* encoder = m_ctx.encoder();
    if (!encoder || encoder->runState() != RunState::Stopped) return;
    m_ctx.encoderRequests.prepare();
    if (m_ctx.state.previewWanted) m_ctx.monitor.attachSourceView();
}

void TunerSettings::RestoreTunerSettings() {
    const auto state = m_state.loadState();
    if (!state) return;
    MainForm& f = m_ctx.form;
    const auto restore = [&](int line, QComboBox* list, const QString& fallback,
                             void (TunerSettings::*handler)()) {
        if (!state->has(line)) return;
        const auto onSelected = [this, handler] { (this->*handler)(); };
        setListText(list, state->line(line), onSelected);
        if (list->currentIndex() < 0) setListText(list, fallback, onSelected);
    };
    restore(LastState::TvChannel, f.cboChannel, QString::number(TunerTables::kDefaultChannel),
            &TunerSettings::channelSelected);
    if (state->has(LastState::TvChannel)) {
        bool isNumber = false;
        const int shown = f.cboChannel->currentText().toInt(&isNumber);
        if (isNumber) m_devices.setChannel(device(), shown);
    }
    restore(LastState::PixelFormat, f.cboPixelFormat, TunerTables::kDefaultPixelFormat,
            &TunerSettings::pixelFormatSelected);
    restore(LastState::TvType, f.cboTVType, TunerTables::kDefaultTunerInput,
            &TunerSettings::tvTypeSelected);
    restore(LastState::TvStandard, f.cboTVFormat, TunerTables::kDefaultStandard,
            &TunerSettings::tvFormatSelected);
    ReapplyPreparedState();
}

}  // namespace kelm
