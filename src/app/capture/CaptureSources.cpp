#include "CaptureSources.h"

#include "AudioLines.h"
#include "EncoderControl.h"
#include "EncoderRequests.h"
#include "FormParts.h"
#include "Messenger.h"
#include "ShellPorts.h"
#include "StateBinding.h"
#include "Toolbar.h"
#include "capture/CaptureDevices.h"
#include "encoder/Encoder.h"
#include "encoder/OutputFileName.h"
#include "recorder/LastState.h"

#include <QAction>
#include <QComboBox>

namespace kelm {

bool CaptureSources::listVideoDevices() {
    QComboBox* list = m_sources.videoSource;
    const QSignalBlocker quiet(list);
    if (list->count() == 0) list->addItem(OutputFileName::kVideoFileSource);
    int k = 0;
    for (const QString& device : m_videoDevices.devices()) list->insertItem(k++, device);
    // Filling chooses nothing: the saved source is selected next, and
    // without one the source's handler runs with no entry chosen.
    list->setCurrentIndex(-1);
    return k > 0;
}

bool CaptureSources::listSoundCards() {
    QComboBox* list = m_sources.audioSource;
    if (list->count() > 0) return false;
    {
        const QSignalBlocker quiet(list);
        list->addItems(m_soundCards.captureDevices());
    }
    if (list->count() == 0) return false;
    setListText(list, list->itemText(0), [this] { audioSourceSelected(); });
    return true;
}

void CaptureSources::wire() {
    m_tuner.wire();
    m_audio.wire();
}

void CaptureSources::audioSourceSelected() {
    m_audio.audioSourceSelected();
}

void CaptureSources::audioInputSelected() {
    m_audio.inputSelected();
}

void CaptureSources::switchMonitor(bool on) {
    Toolbar& tb = m_toolbar;
    tb.menuItem(MenuItem::mnuMonitorWindow)->setChecked(on);
    tb.menuItem(MenuItem::mnuMonitorWindow2)->setChecked(on);
    if (!on) m_ctx.monitor.stopFollowTimer();
    tb.setPressed(Button::btnMonitor, on);
    m_ctx.monitor.applyMonitorButton(on && m_ctx.state.previewWanted);
}

void CaptureSources::videoSourceSelected() {
    SourceLists& f = m_sources;
    RecorderState& s = m_ctx.state;
    Encoder* encoder = m_ctx.encoder();
    if (!encoder) return;
    const QString source = f.videoSource->currentText();

    if (source == OutputFileName::kVideoFileSource) {
        s.previewWanted = false;
        switchMonitor(false);
        encoder->resetSourceGroup();
        m_tuner.clearSettings();
        m_encoder.prepareOutputFile();
        encoder->setVideoInput(s.settings.encVideo);
        for (QComboBox* list :
             {f.videoInput, f.pixelFormat, f.tvStandard, f.channel, f.tunerType}) {
            const QSignalBlocker quiet(list);
            list->clear();
            list->setEnabled(false);
        }
        return;
    }

    if (s.commandLine.text.contains(QStringLiteral(" /p"))) s.previewWanted = true;
    switchMonitor(true);
    f.pixelFormat->setEnabled(true);
    f.tvStandard->setEnabled(true);
    encoder->setVideoInput(QStringLiteral("DEVICE://") + source);
    m_encoder.prepareOutputFile();

    // The device's inputs are listed once its capture runs; a source the
    // operator has changed again meanwhile is not this answer's business.
    m_ctx.encoderRequests.prepare([this, source](const EncoderStatus& prepared) {
        if (m_sources.videoSource->currentText() != source) return;
        videoSourcePrepared(source, prepared);
    });
}

void CaptureSources::videoSourcePrepared(const QString& source, const EncoderStatus& prepared) {
    SourceLists& f = m_sources;
    if (!prepared.ok()) {
        if (prepared.code == EncoderErrorCode::VideoInput) {
            if (m_ctx.monitor.isVisible()) m_ctx.monitor.sendToBack();
            m_ctx.messenger.show(
                QStringLiteral(
                    "A bemeneti forrás nem megfelelően működik, vagy már használatban van."),
                Messenger::Icon::Warning);
            if (m_ctx.monitor.isVisible()) m_ctx.monitor.reapplyOnTop();
        }
        return;
    }
    if (f.videoInput->count() == 0) {
        const QSignalBlocker quiet(f.videoInput);
        f.videoInput->addItems(m_videoDevices.inputs(source));
        f.videoInput->setCurrentIndex(-1);
    }
    f.videoInput->setEnabled(true);
    // The input's handler and the restore may each ask for a new prepare:
    // one is made, after both.
    const TunerSettings::PrepareBatch once(m_tuner);
    m_state.restoreStateLine(LastState::VideoInput, f.videoInput, [this] { videoInputSelected(); });
    if (f.videoInput->count() > 0) videoInputSelected();
}

void CaptureSources::videoInputSelected() {
    SourceLists& f = m_sources;
    QComboBox* inputs = f.videoInput;
    const TunerSettings::PrepareBatch once(m_tuner);
    int chosen = inputs->currentIndex();
    if (chosen >= 0) {
        // Of two inputs with the same name the later one stays selected.
        for (int i = 0; i < inputs->count(); ++i) {
            if (inputs->itemText(i) == inputs->itemText(chosen)) chosen = i;
        }
    }
    // The encoder takes the input and brings the device to it before its
    // picture source streams again.
    m_tuner.setInput(chosen);
    m_tuner.reapplyPreparedState();
    m_tuner.fillTunerLists();
    const bool tuner = chosen >= 0 && inputs->itemText(chosen) == u"Video Tuner";
    f.channel->setEnabled(tuner);
    f.tunerType->setEnabled(tuner);
    // The channels of the table the tuner is on: filled when missing, and
    // again when an earlier choice of cable or antenna left the other's.
    if (tuner && f.channel->count() != m_videoDevices.highestChannel(f.videoSource->currentText(),
                                                                     m_tuner.settings()))
        m_tuner.fillChannels();
    m_tuner.restoreTunerSettings();
}

}  // namespace kelm
