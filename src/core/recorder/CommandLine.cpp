#include "recorder/CommandLine.h"

#include "recorder/TimeText.h"

namespace kelm {

CommandLine CommandLine::parse(const QStringList& arguments) {
    CommandLine cl;
    cl.text = arguments.join(u' ');
    if (!cl.text.isEmpty()) {
        cl.previewWanted = cl.text.contains(QStringLiteral("/p"));
        cl.rawDuration = QString(cl.text).remove(QStringLiteral(" /p"));
    }
    return cl;
}

std::optional<QString> CommandLine::duration() const {
    QString text = TimeText::normalise(QString(rawDuration).remove(QStringLiteral("/h")));
    if (text.isEmpty()) return std::nullopt;
    TimeText::DigitFields fields = TimeText::digitFields(text);
    // Only text in the two-digit form can be out of range; anything else is
    // simply not a time.
    const bool twoDigitForm = text.size() == 8 && text.at(2) == u':' && text.at(5) == u':' &&
                              fields.hours >= 0 && fields.minutes >= 0 && fields.seconds >= 0;
    if (!twoDigitForm) return TimeText::zero();
    if (!fields.inRange()) return std::nullopt;
    return text;
}

}  // namespace kelm
