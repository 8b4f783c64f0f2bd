#pragma once

#include "recorder/Clock.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

namespace kelm {

class LogFile;

// The event log: every noteworthy thing KELM does becomes one time-stamped line
// in the log box of the main window and, at the same moment, in the day's log
// file "Log/<short name>-<yyyyMMdd>.log". The box content is kept here; the
// window only shows it.
class EventLog final : public QObject {
    Q_OBJECT
public:
    // The box is cleared when it holds more than this many characters.
    static constexpr qsizetype kBoxLimit = 32000;

    explicit EventLog(const Clock& clock, QObject* parent = nullptr);
    ~EventLog() override;

    // Opens the day's log file for appending: "<shortName>-<todayStamp>.log" in
    // `logDir`, or, when another running KELM holds that file,
    // "<shortName>-<todayStamp>-<processId>.log". A file opened earlier is closed
    // first. False when neither can be opened: lines then reach only the box.
    bool open(const QString& logDir, const QString& shortName, const QString& todayStamp,
              qint64 processId);
    void close();
    bool isOpen() const;
    QString filePath() const;

    // Appends "<long time>: <message>" to the box and "<short date>-<long time>:
    // <message>" to the file. False when the file write failed (the line stays
    // in the box).
    bool logEvent(const QString& message);

    // Whether the box's last line is `message`, as logEvent wrote it. A
    // condition that lasts is logged once, and again only after another line.
    bool endsWith(const QString& message) const {
        return !m_lastMessage.isNull() && message == m_lastMessage;
    }

    // The copy and index jobs' form: a blank, not "-", after the date in the file.
    bool logJobEvent(const QString& message);

    // The three header lines written once per start.
    bool writeStartupHeader(qint64 processId, const QString& channelShortName);

    // Clears an over-full box and records that it did. True when it cleared.
    bool enforceBoxLimit();

    // Appends a line to the box only (used before the log file is open).
    void appendToBox(const QString& text);

    // Whether `message` is one of the last few messages logged. A message box
    // that only reaches the log (no display) uses it, so a failure that was
    // logged and then shown is not written twice.
    bool recentlyLogged(const QString& message) const;

    QString boxText() const { return m_box; }
    QString textString() const { return m_textString; }

Q_SIGNALS:
    void boxAppended(const QString& text);
    void boxCleared();

private:
    bool writeToFile(const QString& text);
    QString timeStamp() const;

    const Clock& m_clock;
    std::unique_ptr<LogFile> m_file;
    QString m_box;
    QString m_lastMessage;  // the message of the box's last line, when it was logEvent's
    QString m_textString;
    QStringList m_recentMessages;  // newest last, at most kRecentMessages
};

}  // namespace kelm
