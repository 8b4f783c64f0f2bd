#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

namespace kelm {

// The five arguments KELM gives `tiplon`:
//   1 recording path, 2 start second of the day, 3 duration in seconds,
//   4 date ("yyyy.MM.dd." or "yyyy.MM.dd"), 5 channel short name.
// Start and duration are whole numbers from 0 to 86399.
//
// KELM joins the arguments with single blanks and never quotes them, so a
// recording path with blanks may arrive as several arguments. When there are
// more than five and the leading ones, joined again with single blanks, name an
// existing file, they are taken as the path.
class TiplonCommandLine final {
public:
    static TiplonCommandLine parse(const QStringList& arguments);

    bool isValid() const { return m_errorText.isEmpty(); }
    // Why the arguments were refused; empty when valid.
    QString errorText() const { return m_errorText; }
    // The caller asked for the usage text and nothing else.
    bool wantsHelp() const { return m_wantsHelp; }

    // The recording path, also when other arguments were refused (empty only
    // when there was no argument at all), so a caller can still leave the
    // stop marker KELM waits for.
    QString recordingPath() const { return m_recordingPath; }
    qint32 startSeconds() const { return m_startSeconds; }
    qint32 durationSeconds() const { return m_durationSeconds; }
    QDate date() const { return m_date; }
    QString channelShortName() const { return m_channelShortName; }

    static QString usage();

private:
    QString m_errorText;
    bool m_wantsHelp = false;
    QString m_recordingPath;
    qint32 m_startSeconds = 0;
    qint32 m_durationSeconds = 0;
    QDate m_date;
    QString m_channelShortName;
};

}  // namespace kelm
