#pragma once

#include "encoder/EncoderError.h"

#include <QString>

namespace kelm::FailureText {

// Where a recording's sources and file are, as the operator chose them: the
// encoder's inputs ("Device://<name>", "DEVICE://<name>" or a file path) and
// its output file.
struct Where {
    QString audioInput;
    QString videoInput;
    QString outputFile;
};

// What failed and where, in KELM's own Hungarian words, followed by the
// engine's or the system's own words in parentheses when it gave any. The
// caller adds what KELM does next. Never empty, never with a line break.
QString cause(const EncoderStatus& failure, const Where& where);

// The source's name as the lists show it: an input without its scheme.
QString sourceName(const QString& input);

// The box KELM shows, and the log line it writes (after "A "), when no
// encoder can be made: it then ends.
inline const QString kEncoderMissing =
    QStringLiteral("Windows Media Encoder nincs telepítve! A program kilép.");

}  // namespace kelm::FailureText
