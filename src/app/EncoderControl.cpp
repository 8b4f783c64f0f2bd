#include "EncoderControl.h"

#include "MainForm.h"
#include "Messenger.h"
#include "ShellPorts.h"
#include "Toolbar.h"
#include "encoder/Encoder.h"
#include "encoder/EncoderProfile.h"
#include "encoder/OutputFileName.h"
#include "recorder/EventLog.h"
#include "recorder/RegionalFormat.h"
#include "recorder/TimeText.h"

namespace kelm {

namespace {
const QString kComponentMissing = QStringLiteral("Windows Media Encoder nincs telepítve! A program kilép.");
}

Toolbar& EncoderControl::toolbar() { return *m_ctx.form.toolbar; }

void EncoderControl::fatalComponentMissing() {
    m_ctx.messenger.show(kComponentMissing, Messenger::Icon::Critical);
    m_ctx.log.logEvent(QStringLiteral("A ") + kComponentMissing);
    m_ctx.process.endProcess(1);
}

EncoderStatus EncoderControl::PrepareOutputFile() {
    Encoder* encoder = m_ctx.encoder();
    if (!encoder)
        return EncoderStatus::failure(EncoderErrorCode::ObjectNotSet, QStringLiteral("no encoder object"));
    RecorderState& s = m_ctx.state;
    MainForm& f = m_ctx.form;

    EncoderStatus result = encoder->setAudioInput(QStringLiteral("Device://") + f.cboAudioSource->currentText());
    s.encProfile = EncoderProfile::textForVideoSource(f.cboVideoSource->currentText());
    const EncoderStatus profile = encoder->setProfile(s.encProfile);
    if (result.ok())
        result = profile;

    const QDateTime now = m_ctx.clock.now();
    s.todayStamp = RegionalFormat::todayStamp(now.date());
    if (toolbar().isPressed(Button::btnMost)) {
        const QString start = TimeText::format(now.time());
        f.txtStartTime->setText(start);
        s.startStamp = TimeText::stamp(start);
        if (const auto end = TimeText::addTimes(start, f.txtDuration->text()))
            f.txtEnd->setText(*end);
    } else {
        s.startStamp = TimeText::stamp(f.txtStartTime->text());
    }
    s.durationStamp = TimeText::stamp(f.txtDuration->text());

    encoder->setOutputFileName(OutputFileName::build(s.settings.mediaDir, s.settings.channelShortName, s.todayStamp,
                                                     s.startStamp, s.durationStamp,
                                                     OutputFileName::kindFor(f.cboVideoSource->currentText())));
    encoder->setDurationLimitMs(qint64(TimeText::secondsOfDay(f.txtDuration->text()).value_or(0)) * 1000);
    return result;
}

void EncoderControl::bindPreviewToMonitor() { m_ctx.monitor.setEncoderViewRunning(true); }

void EncoderControl::StartEncoder() {
    Encoder* encoder = m_ctx.encoder();
    if (!encoder) {
        fatalComponentMissing();
        return;
    }
    RecorderState& s = m_ctx.state;
    MainForm& f = m_ctx.form;

    const QString duration = TimeText::normalise(f.txtDuration->text());
    f.txtDuration->setText(duration);
    f.setProgressMaximum(TimeText::secondsOfDay(duration).value_or(0) / 10.0);

    if (s.previewWanted)
        ++s.previewCookie;  // a new data view for this recording
    if (toolbar().isPressed(Button::btnMost))
        m_ctx.log.logEvent(QStringLiteral("Encoder indítása - MOST"));

    const EncoderStatus started = encoder->start();
    if (!started.ok() && !handleStartError(started, true))
        return;

    if (s.previewWanted) {
        // The monitor window turns the engine's preview frames on while it shows them.
        m_ctx.monitor.setEncoderViewRunning(true);
        if (!toolbar().isPressed(Button::btnEncPreview)) m_ctx.monitor.setEncoderViewRunning(false);
    }
    s.arm.set(Arm::Armed);
    for (const Button key : {Button::btnMost, Button::btn1x, Button::btnNapi}) {
        if (!toolbar().isPressed(key))
            toolbar().setEnabled(key, false);
    }
    f.preStartSub->start();
}

bool EncoderControl::handleStartError(const EncoderStatus& status, bool renameAllowed) {
    RecorderState& s = m_ctx.state;
    MainForm& f = m_ctx.form;
    using namespace EncoderErrorCode;
    switch (status.code) {
        case ComponentMissing:
        case ObjectNotSet:
            fatalComponentMissing();
            return false;
        case ProfileRefused:
            f.Timer1->stop();
            m_ctx.messenger.show(QStringLiteral("Az Encoder profájl nem megfelelő!"));
            m_ctx.log.logEvent(QStringLiteral("Az Encoder profájl nem megfelelő!"));
            return false;
        case SoundCard:
            f.Timer1->stop();
            m_ctx.messenger.show(QStringLiteral("Hangkártya beállítások nem megfelelőek!"));
            m_ctx.log.logEvent(QStringLiteral("Nincs kijelölve hangkártya!"));
            return false;
        case Codec:
            f.Timer1->stop();
            m_ctx.messenger.show(QStringLiteral("Kodek hiba! "), Messenger::Icon::Critical);
            m_ctx.log.logEvent(QStringLiteral("Kodek hiba!"));
            return false;
        case VideoCodecMissing:
            m_ctx.messenger.show(QStringLiteral("A kért videokodek nincs telepitve! ") + s.encProfile);
            m_ctx.log.logEvent(QStringLiteral("A kért videokodek nincs telepitve!") + s.encProfile);
            return false;
        case FileInUse: {
            Encoder* encoder = m_ctx.encoder();
            f.Timer1->stop();
            const QString path = encoder->outputFileName();
            m_ctx.log.logEvent(QStringLiteral("A kódolási folyamat nem fér hozzá a ") + path +
                               QStringLiteral(" fájlhoz, mert azt egy másik folyamat használja!"));
            if (!renameAllowed)
                return false;
            const QString renamed = OutputFileName::extended(path);
            encoder->setOutputFileName(renamed);
            m_ctx.log.logEvent(QStringLiteral("Fájlnév kiegészítés - .FIGYELEM.wmv ") + renamed);
            const EncoderStatus again = encoder->start();
            if (!again.ok()) {
                // The extended name failed as well: report that failure as any
                // other, and never claim that a recording runs.
                handleStartError(again, false);
                return false;
            }
            m_ctx.log.logEvent(QStringLiteral("A(z) ") + renamed + QStringLiteral(" fájl rögzítése elindult...\r\n") +
                               QStringLiteral(" VIGYÁZAT! A következő rögzítés nem indul el!"));
            s.nextStartWarning = true;
            return true;
        }
        default:
            m_ctx.log.logEvent(QStringLiteral("Ismeretlen hiba: ") + QString::number(status.signedCode()) + u' ' +
                               status.description);
            return false;
    }
}

}  // namespace kelm
