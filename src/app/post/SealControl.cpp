#include "SealControl.h"

#include "encoder/OutputFileName.h"
#include "recorder/Clock.h"
#include "recorder/EventLog.h"
#include "seal/DayReport.h"
#include "seal/DaySeal.h"
#include "seal/SealFile.h"
#include "seal/SealWorker.h"

#include <QDir>
#include <QFileInfo>

namespace kelm {

SealControl::SealControl(RecorderContext& context,
                         std::function<bool(const QString&)> subtitlePending)
    : m_ctx(context),
      m_subtitlePending(std::move(subtitlePending)),
      m_worker(std::make_unique<SealWorker>()) {
    m_subtitleWatch.setInterval(kWatchIntervalMs);
    m_dayWatch.setInterval(kDayCheckIntervalMs);
    QObject::connect(&m_subtitleWatch, &QTimer::timeout, [this] { watchSubtitles(); });
    QObject::connect(&m_dayWatch, &QTimer::timeout, [this] { checkDay(); });
}

SealControl::~SealControl() = default;

void SealControl::start() {
    m_today = m_ctx.clock.now().date();
    m_dayWatch.start();
}

QString SealControl::logDir() const {
    return QDir(m_ctx.state.programDir).filePath(QStringLiteral("Log"));
}

void SealControl::recordingFileClosed(const RecordingFile& file, qint64 recordedMs) {
    m_waiting.push_back({file, recordedMs, m_ctx.clock.monotonicMs()});
    watchSubtitles();
}

void SealControl::watchSubtitles() {
    const qint64 mono = m_ctx.clock.monotonicMs();
    std::vector<Waiting> still;
    for (const Waiting& w : m_waiting) {
        const bool pending = m_subtitlePending && m_subtitlePending(w.file.path);
        if (pending && mono - w.closedAtMono < kSubtitleWaitMs)
            still.push_back(w);
        else
            seal(w, !pending);
    }
    m_waiting = std::move(still);
    if (m_waiting.empty())
        m_subtitleWatch.stop();
    else if (!m_subtitleWatch.isActive())
        m_subtitleWatch.start();
}

void SealControl::seal(const Waiting& waiting, bool subtitleDone) {
    const RecordingFile& file = waiting.file;
    const QString folder = QFileInfo(file.path).absolutePath();
    const QString shortName = m_ctx.state.settings.channelShortName;
    const QDate sealDay = m_ctx.clock.now().date();
    const QDate reportDay = file.start.date();
    const QDateTime firstSampleUtc = file.firstSampleUtc;
    const qint64 lengthMs = waiting.recordedMs;
    const QString path = file.path;
    const QString logs = logDir();
    const std::atomic_bool* cancel = m_worker->cancelFlag();
    m_worker->submit([=, this]() -> SealWorker::Reply {
        const QString subtitle = OutputFileName::subtitleName(path);
        const QString subtitleName = QFileInfo(subtitle).fileName();
        QList<DaySeal::Entry> entries{DaySeal::Entry::file(path, firstSampleUtc, lengthMs)};
        if (QFileInfo::exists(subtitle)) {
            if (!subtitleDone)
                entries << DaySeal::Entry::line(SealFile::noteLine(
                    QStringLiteral("A(z) %1 feliratfájl a pecsételéskor még készülhetett.")
                        .arg(subtitleName)));
            entries << DaySeal::Entry::file(subtitle, firstSampleUtc, lengthMs);
        } else {
            entries << DaySeal::Entry::line(SealFile::noteLine(
                QStringLiteral("A(z) %1 feliratfájl nem készült el.").arg(subtitleName)));
        }
        const DaySeal::Outcome outcome =
            DaySeal::append(folder, shortName, sealDay, entries, cancel);
        const QString reportProblem = DayReport::write(folder, logs, shortName, reportDay);
        return [this, outcome, reportProblem, folder, shortName, reportDay] {
            for (const QString& problem : outcome.problems) m_ctx.log.logEvent(problem);
            if (!reportProblem.isEmpty())
                m_ctx.log.logEvent(
                    QStringLiteral("A napi jelentés nem írható: %1 (%2)")
                        .arg(QDir(folder).filePath(DayReport::fileName(shortName, reportDay)),
                             reportProblem));
        };
    });
}

void SealControl::writeReport(const QString& mediaDir, const QDate& day) {
    const QString shortName = m_ctx.state.settings.channelShortName;
    const QString logs = logDir();
    m_worker->submit([=, this]() -> SealWorker::Reply {
        const QString problem = DayReport::write(mediaDir, logs, shortName, day);
        return [this, problem, mediaDir, shortName, day] {
            if (!problem.isEmpty())
                m_ctx.log.logEvent(
                    QStringLiteral("A napi jelentés nem írható: %1 (%2)")
                        .arg(QDir(mediaDir).filePath(DayReport::fileName(shortName, day)),
                             problem));
        };
    });
}

void SealControl::checkDay() {
    const QDate today = m_ctx.clock.now().date();
    if (!m_today.isValid()) m_today = today;
    if (today == m_today) return;
    const QDate ended = m_today;
    m_today = today;
    writeReport(m_ctx.state.settings.mediaDir, ended);
}

void SealControl::fileDeleted(const QString& path, const QDateTime& utc) {
    const QString folder = QFileInfo(path).absolutePath();
    const QString shortName = m_ctx.state.settings.channelShortName;
    const QDate day = m_ctx.clock.now().date();
    const QString line = SealFile::deletionLine(utc, QFileInfo(path).fileName());
    m_worker->submit([=, this]() -> SealWorker::Reply {
        const DaySeal::Outcome outcome =
            DaySeal::append(folder, shortName, day, {DaySeal::Entry::line(line)});
        return [this, outcome] {
            for (const QString& problem : outcome.problems) m_ctx.log.logEvent(problem);
        };
    });
}

void SealControl::finishBeforeExit(int limitMs) {
    for (const Waiting& w : m_waiting)
        seal(w, !(m_subtitlePending && m_subtitlePending(w.file.path)));
    m_waiting.clear();
    m_subtitleWatch.stop();
    // The day's report as KELM leaves it: a run that recorded nothing sealed nothing.
    writeReport(m_ctx.state.settings.mediaDir, m_ctx.clock.now().date());
    if (!m_worker->finish(limitMs))
        m_ctx.log.logEvent(
            QStringLiteral("A felvételek pecsétje nem készült el %1 mp alatt a program végéig.")
                .arg(limitMs / 1000));
}

bool SealControl::busy() const {
    return !m_waiting.empty() || m_worker->busy();
}

}  // namespace kelm
