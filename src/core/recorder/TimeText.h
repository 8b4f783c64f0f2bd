#pragma once

#include <QString>
#include <QTime>
#include <optional>

namespace kelm {

// Arithmetic on the "HH:mm:ss" texts of the recording time fields. Everything
// works on hours, minutes and seconds of one day and wraps at 24 hours; there
// are no dates.
namespace TimeText {

inline constexpr int kSecondsPerDay = 24 * 3600;

// The reset value of every time field.
QString zero();

// Normalises loose input: text with ":" is read as a time of day and written
// "HH:mm:ss" (9:5 -> 09:05:00); other text is read as a whole number whose
// digits are laid right-aligned into "0#:0#:0#" (93000 -> 09:30:00, 5 -> 00:00:05).
// Text that cannot be read either way comes back unchanged.
QString normalise(const QString& text);

// Reads a text as a time of day (H:m[:s], each field in range).
std::optional<QTime> parseTimeOfDay(const QString& text);

// True when the text reads as a time of day.
bool isValidTime(const QString& text);

// Hours, minutes and seconds as the two-digit fields of "HH:mm:ss": characters
// 1-2, 4-5 and the last two. Fields that are not digits read as -1.
struct DigitFields {
    int hours = -1;
    int minutes = -1;
    int seconds = -1;
    bool inRange() const {
        return hours >= 0 && hours <= 23 && minutes >= 0 && minutes <= 59 && seconds >= 0 &&
               seconds <= 59;
    }
};
DigitFields digitFields(const QString& text);

// Normalises a triple whose fields may be out of range or negative, then takes
// it modulo 24 hours.
QString wrap(int hours, int minutes, int seconds);
QString fromSecondsOfDay(qint64 seconds);

// Seconds since midnight of a readable time text, or nullopt.
std::optional<int> secondsOfDay(const QString& text);
int secondsOfDay(const QTime& time);

// start + duration, wrapped.
std::optional<QString> addTimes(const QString& start, const QString& duration);

// The duration from start to end as the end field computes it: when the end's
// hour digits are greater than the start's, the plain difference, otherwise
// the difference across midnight; wrapped either way.
std::optional<QString> durationBetween(const QString& start, const QString& end);

// The text without its colons: "200000" for 20:00:00.
QString stamp(const QString& timeText);

// Formats a time of day as "HH:mm:ss".
QString format(const QTime& time);

}  // namespace TimeText
}  // namespace kelm
