#include "RetentionControl.h"

#include "StatusBar.h"
#include "encoder/Encoder.h"
#include "encoder/EncoderProfile.h"
#include "recorder/Clock.h"
#include "recorder/EventLog.h"
#include "recorder/MediaStorage.h"
#include "recorder/RetentionRule.h"

#include <QFileInfo>

namespace kelm {

RetentionControl::RetentionControl(RecorderContext& context, StatusBar& statusBar)
    : m_ctx(context), m_statusBar(statusBar) {
    m_tick.setInterval(kCheckIntervalMs);
    QObject::connect(&m_tick, &QTimer::timeout, [this] { minuteTick(); });
}

void RetentionControl::start() {
    sweep();
    forecast(true);
    m_tick.start();
}

void RetentionControl::minuteTick() {
    if (m_ctx.clock.now().date() != m_sweptOn) sweep();
    forecast(false);
}

QString RetentionControl::runningFileName() const {
    const Encoder* encoder = m_ctx.encoder();
    if (!encoder || encoder->runState() != RunState::Running) return {};
    return QFileInfo(encoder->outputFileName()).fileName();
}

void RetentionControl::sweep() {
    const Settings& settings = m_ctx.state.settings;
    const QDate today = m_ctx.clock.now().date();
    if (settings.keepDays <= 0) {
        m_sweptOn = today;
        return;
    }
    if (m_sweeping) return;
    const auto choose = [shortName = settings.channelShortName, today, days = settings.keepDays,
                         running = runningFileName()](const QStringList& names) {
        QStringList doomed;
        for (const auto& expired : RetentionRule::expired(names, shortName, today, days, running))
            doomed << expired.recording << expired.companions;
        return doomed;
    };
    m_sweeping = m_ctx.folderProbe.clean(
        settings.mediaDir, choose, [this, today](const MediaFolderProbe::Cleaning& cleaning) {
            m_sweeping = false;
            // Tried again on the next minute's check, logged once a day.
            if (!cleaning.listed) {
                if (m_silentLoggedOn == today) return;
                m_silentLoggedOn = today;
                m_ctx.log.logEvent(
                    QStringLiteral("A régi felvételek törlése elmaradt, a media mappa nem "
                                   "olvasható: ") +
                    m_ctx.state.settings.mediaDir);
                return;
            }
            m_sweptOn = today;
            const QDateTime utc = m_ctx.clock.now().toUTC();
            for (const QString& path : cleaning.removed) {
                m_ctx.log.logEvent(QStringLiteral("Régi felvétel törölve: ") + path);
                if (m_deleted) m_deleted(path, utc);
            }
            for (const QString& failure : cleaning.failures)
                m_ctx.log.logEvent(QStringLiteral("Régi felvétel nem törölhető: ") + failure);
        });
    // A folder that does not answer is tried again each minute, logged once a day.
    if (!m_sweeping && m_silentLoggedOn != today) {
        m_silentLoggedOn = today;
        m_ctx.log.logEvent(
            QStringLiteral("A régi felvételek törlése elmaradt, a media mappa nem válaszol: ") +
            settings.mediaDir);
    }
}

void RetentionControl::forecast(bool logIt) {
    m_ctx.folderProbe.ask(
        m_ctx.state.settings.mediaDir, QString(), false,
        [this, logIt](const MediaFolderProbe::Answer& answer) {
            if (!answer.freeBytes) return;
            EncoderProfile profile;
            const QString text = m_ctx.state.encProfile.isEmpty()
                                     ? EncoderProfile::textForVideoSource({})
                                     : m_ctx.state.encProfile;
            if (!EncoderProfile::parse(text, &profile).ok()) return;
            showForecast(RecordingBudget::hoursThatFit(*answer.freeBytes, profile.videoBitrate,
                                                       profile.audioBitrate),
                         logIt);
        });
}

void RetentionControl::showForecast(qint64 hours, bool logIt) {
    const QString text =
        QStringLiteral("Szabad hely a media mappában: kb. %1 óra felvételre elég.").arg(hours);
    m_statusBar.showSpaceForecast(text);
    const bool low = hours < kWarnBelowHours;
    m_ctx.state.lowSpace = low;
    if (logIt) m_ctx.log.logEvent(text);
    const QDate today = m_ctx.clock.now().date();
    if (low && m_warnedOn != today) {
        m_warnedOn = today;
        m_ctx.log.logEvent(
            QStringLiteral("Figyelem: kevés a szabad hely a media mappában, kb. %1 óra felvételre "
                           "elég: %2")
                .arg(hours)
                .arg(m_ctx.state.settings.mediaDir));
    }
}

}  // namespace kelm
