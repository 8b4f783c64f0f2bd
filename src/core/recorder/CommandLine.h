#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace kelm {

// KELM's command line: the arguments joined by single blanks and examined as
// one string. Empty: interactive start. Anything else records at once for the
// duration it names; "/p" keeps the monitor functions, "/h" is ignored.
struct CommandLine {
    QString text;  // the arguments joined by single blanks
    bool previewWanted = true;
    QString rawDuration;  // the text with every " /p" removed

    bool isEmpty() const { return text.isEmpty(); }

    static CommandLine parse(const QStringList& arguments);

    // The duration of the immediate recording: "/h" removed, normalised; text
    // that is not a time becomes "00:00:00" (the recording control then refuses
    // it). nullopt when a field is out of range (24:00:00, 00:60:00): nothing is
    // recorded.
    std::optional<QString> duration() const;
};

}  // namespace kelm
