#include "recorder/EventLog.h"

#include "recorder/LogFile.h"
#include "recorder/RegionalFormat.h"

#include <QDir>

namespace kelm {

namespace {
const QString kLineEnd = QStringLiteral("\r\n");
// A box shown after a tick comes a few lines after its own log line at most.
constexpr qsizetype kRecentMessages = 8;
}  // namespace

EventLog::EventLog(const Clock& clock, QObject* parent)
    : QObject(parent), m_clock(clock), m_file(std::make_unique<LogFile>()) {}

EventLog::~EventLog() = default;

bool EventLog::open(const QString& logDir, const QString& shortName, const QString& todayStamp,
                    qint64 processId) {
    m_file->close();
    const QDir dir(logDir);
    const QString stem = shortName + u'-' + todayStamp;
    const auto result = m_file->open(dir.filePath(stem + QStringLiteral(".log")));
    if (result == LogFile::OpenResult::Opened) return true;
    if (result == LogFile::OpenResult::InUse)
        return m_file->open(dir.filePath(stem + u'-' + QString::number(processId) +
                                         QStringLiteral(".log"))) == LogFile::OpenResult::Opened;
    return false;
}

void EventLog::close() {
    m_file->close();
}
bool EventLog::isOpen() const {
    return m_file->isOpen();
}
QString EventLog::filePath() const {
    return m_file->path();
}

QString EventLog::timeStamp() const {
    return RegionalFormat::longTime(m_clock.now().time());
}

void EventLog::appendToBox(const QString& text) {
    m_lastMessage.clear();  // anything else in the box comes between
    m_box += text;
    Q_EMIT boxAppended(text);
}

bool EventLog::writeToFile(const QString& text) {
    return m_file->append(text.toUtf8());
}

bool EventLog::recentlyLogged(const QString& message) const {
    return m_recentMessages.contains(message);
}

bool EventLog::logEvent(const QString& message) {
    m_recentMessages.append(message);
    if (m_recentMessages.size() > kRecentMessages) m_recentMessages.removeFirst();
    m_textString = timeStamp() + QStringLiteral(": ") + message + kLineEnd;
    appendToBox(m_textString);
    m_lastMessage = message;
    // Date and time are read separately, each at the moment of its step.
    const QString date = RegionalFormat::shortDate(m_clock.now().date());
    return writeToFile(date + u'-' + m_textString);
}

bool EventLog::logJobEvent(const QString& message) {
    m_textString = timeStamp() + QStringLiteral(": ") + message + kLineEnd;
    appendToBox(m_textString);
    const QString date = RegionalFormat::shortDate(m_clock.now().date());
    return writeToFile(date + u' ' + m_textString);
}

bool EventLog::writeStartupHeader(qint64 processId, const QString& channelShortName) {
    const QDateTime now = m_clock.now();
    const QString first = RegionalFormat::shortDate(now.date()) + u'-' +
                          RegionalFormat::longTime(now.time()) + QStringLiteral(": ") + kLineEnd;
    appendToBox(first);
    bool ok = writeToFile(first);

    m_textString =
        timeStamp() + QStringLiteral(": Program ID: ") + QString::number(processId) + kLineEnd;
    appendToBox(m_textString);
    ok = writeToFile(m_textString) && ok;

    ok = logEvent(QStringLiteral("Utolsó állapot beolvasása: ") + channelShortName +
                  QStringLiteral(".ini")) &&
         ok;
    return ok;
}

bool EventLog::enforceBoxLimit() {
    if (m_box.size() <= kBoxLimit) return false;
    const qsizetype length = m_box.size();
    m_box.clear();
    Q_EMIT boxCleared();
    // The cleared lines are already in the log file.
    logEvent(QStringLiteral(
                 "Eseménynapló, 32k méret korlát miatt törlődött. A tartlama mentve lett a(z)  ") +
             filePath() + QStringLiteral(" fájlba. ") + QString::number(length) +
             QStringLiteral(" byte."));
    return true;
}

}  // namespace kelm
