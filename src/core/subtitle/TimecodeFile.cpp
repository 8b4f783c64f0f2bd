#include "subtitle/TimecodeFile.h"

#include "subtitle/BufferedFile.h"

#include <sys/stat.h>
#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kelm::TimecodeFile {

namespace {

char* putTwoDigits(char* out, std::int64_t value) {
    *out++ = static_cast<char>('0' + value / 10);
    *out++ = static_cast<char>('0' + value % 10);
    return out;
}

char* putNumber(char* out, std::int64_t value) {
    char reversed[20];
    int count = 0;
    do {
        reversed[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0);
    while (count > 0) *out++ = reversed[--count];
    return out;
}

bool isContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Byte offset where the last `count` characters of `text` begin, or npos when
// it holds fewer.
std::size_t startOfLastCharacters(std::string_view text, int count) {
    std::size_t at = text.size();
    while (count > 0) {
        if (at == 0) return std::string_view::npos;
        --at;
        while (at > 0 && isContinuationByte(text[at])) --at;
        --count;
    }
    return at;
}

// Moves the "hh:mm:ss" at `text` on one second; returns true when it passes
// midnight. For x below two days stamp() wraps exactly once, at 24:00:00, so
// ticking stamp(x) gives stamp(x + 1) without a division.
bool tickClock(char* text) {
    if (++text[7] <= '9') return false;
    text[7] = '0';
    if (++text[6] <= '5') return false;
    text[6] = '0';
    if (++text[4] <= '9') return false;
    text[4] = '0';
    if (++text[3] <= '5') return false;
    text[3] = '0';
    if (text[0] == '2' && text[1] == '3') {
        text[0] = text[1] = '0';
        return true;
    }
    if (++text[1] <= '9') return false;
    text[1] = '0';
    ++text[0];
    return false;
}

// Adds one to the decimal digits in [first, last). Returns false when they
// were all nines and the number needs one more digit.
bool incrementDigits(char* first, char* last) {
    while (last != first) {
        --last;
        if (++*last <= '9') return true;
        *last = '0';
    }
    return false;
}

// The full text of one entry. From one entry to the next only digits move on,
// so the text is kept and changed in place; it is laid out again only when the
// number gains a digit or the date changes, a handful of times per run.
class EntryText {
public:
    void layOut(std::int64_t number, const char* elapsed, const char* next,
                const std::string& lineThreePrefix, const char* timeOfDay) {
        m_text = std::to_string(number);
        m_numberSize = m_text.size();
        m_text += '\n';
        m_elapsedAt = m_text.size();
        m_text.append(elapsed, 8).append(".000 --> ");
        m_nextAt = m_text.size();
        m_text.append(next, 8).append(".000\n").append(lineThreePrefix);
        m_timeOfDayAt = m_text.size();
        m_text.append(timeOfDay, 8).append("\n\n");
    }

    const std::string& text() const { return m_text; }
    const char* elapsed() const { return m_text.data() + m_elapsedAt; }
    const char* next() const { return m_text.data() + m_nextAt; }
    const char* timeOfDay() const { return m_text.data() + m_timeOfDayAt; }

    // What moving on to the next entry changed beyond digits; either change
    // means the text must be laid out again.
    struct Change {
        bool numberGrew = false;
        bool passedMidnight = false;
        bool needsLayout() const { return numberGrew || passedMidnight; }
    };

    Change moveOn() {
        tickClock(m_text.data() + m_elapsedAt);
        tickClock(m_text.data() + m_nextAt);
        Change change;
        change.passedMidnight = tickClock(m_text.data() + m_timeOfDayAt);
        change.numberGrew = !incrementDigits(m_text.data(), m_text.data() + m_numberSize);
        return change;
    }

private:
    std::string m_text;
    std::size_t m_numberSize = 0;
    std::size_t m_elapsedAt = 0;
    std::size_t m_nextAt = 0;
    std::size_t m_timeOfDayAt = 0;
};

// "Ch:<channel>, D: <date>, T: " for one day of the run.
std::string lineThreePrefix(const std::string& channel, const CivilDate& date) {
    std::string prefix = "Ch:";
    prefix.reserve(channel.size() + 32);
    prefix += channel;
    prefix += ", D: ";
    char dotted[10];
    date.writeDotted(dotted);
    prefix.append(dotted, sizeof dotted);
    prefix += ", T: ";
    return prefix;
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

char* writeStamp(char* out, std::int64_t seconds) {
    seconds = std::max<std::int64_t>(seconds, 0);
    std::int64_t hours = seconds / 3600;
    const std::int64_t minutes = (seconds - 3600 * hours) / 60;
    const std::int64_t rest = seconds - 3600 * hours - 60 * minutes;
    if (hours > 23) hours -= 24;
    out = hours < 10 ? putTwoDigits(out, hours) : putNumber(out, hours);
    *out++ = ':';
    out = putTwoDigits(out, minutes);
    *out++ = ':';
    out = putTwoDigits(out, rest);
    std::memcpy(out, ".000", 4);
    return out + 4;
}

std::string withoutLastCharacters(std::string_view path, int count) {
    const std::size_t nameStart =
        path.rfind('/') == std::string_view::npos ? 0 : path.rfind('/') + 1;
    const std::size_t cut = startOfLastCharacters(path, count);
    if (cut == std::string_view::npos || cut <= nameStart) return std::string();
    return std::string(path.substr(0, cut));
}

std::string subtitlePathFor(std::string_view recordingPath) {
    const std::size_t nameStart =
        recordingPath.rfind('/') == std::string_view::npos ? 0 : recordingPath.rfind('/') + 1;
    const std::size_t extensionStart = startOfLastCharacters(recordingPath, 4);
    if (extensionStart != std::string_view::npos && extensionStart > nameStart &&
        recordingPath[extensionStart] == '.')
        return std::string(recordingPath.substr(0, extensionStart)) + ".sub";
    return std::string(recordingPath) + ".sub";
}

std::string channelText(std::string_view channelUtf8) {
    std::string text;
    text.reserve(channelUtf8.size());
    for (std::size_t i = 0; i < channelUtf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(channelUtf8[i]);
        // U+2028 and U+2029, line and paragraph separator: E2 80 A8 / E2 80 A9
        if (byte == 0xE2 && i + 2 < channelUtf8.size() &&
            static_cast<unsigned char>(channelUtf8[i + 1]) == 0x80 &&
            (static_cast<unsigned char>(channelUtf8[i + 2]) == 0xA8 ||
             static_cast<unsigned char>(channelUtf8[i + 2]) == 0xA9)) {
            text += ' ';
            i += 2;
        } else {
            text += byte < 0x20 || byte == 0x7F ? ' ' : static_cast<char>(byte);
        }
    }
    return text;
}

Result write(const std::string& recordingPath, std::int32_t startSeconds,
             std::int32_t durationSeconds, const CivilDate& startDate, std::string_view channelUtf8,
             const Progress& progress) {
    Result result;
    result.subtitlePath = subtitlePathFor(recordingPath);

    // Beyond one day stamp() stops wrapping into a time of day.
    if (startSeconds < 0 || startSeconds >= kSecondsPerDay || durationSeconds < 0 ||
        durationSeconds >= kSecondsPerDay || !startDate.isValid()) {
        result.errorNumber = EINVAL;
        return result;
    }
    struct stat recording {};
    if (::stat(recordingPath.c_str(), &recording) != 0) {
        result.errorNumber = errno;
        return result;
    }
    if (S_ISDIR(recording.st_mode)) {
        result.errorNumber = EISDIR;
        return result;
    }
    // Opening the subtitle file empties it: it must never be the recording.
    struct stat existing {};
    if (::stat(result.subtitlePath.c_str(), &existing) == 0 && sameFile(existing, recording)) {
        result.errorNumber = EINVAL;
        return result;
    }

    BufferedFile file;
    if (const int error = file.create(result.subtitlePath); error != 0) {
        result.errorNumber = error;
        return result;
    }

    const std::string channel = channelText(channelUtf8);
    // The run covers at most two calendar days: start and duration are both
    // below one day.
    const std::string prefixOfDay[2] = {lineThreePrefix(channel, startDate),
                                        lineThreePrefix(channel, startDate.addDays(1))};
    const std::int32_t entriesTotal = durationSeconds + 1;
    const std::int32_t progressStep = std::max(1, entriesTotal / 100);

    char stamp[3][kStampCapacity];
    writeStamp(stamp[0], 0);             // stamp(k)
    writeStamp(stamp[1], 1);             // stamp(k + 1)
    writeStamp(stamp[2], startSeconds);  // stamp(S + k), of which line 3 shows 8 characters
    int day = 0;
    EntryText entry;
    entry.layOut(1, stamp[0], stamp[1], prefixOfDay[day], stamp[2]);

    for (std::int32_t n = 1; n <= entriesTotal; ++n) {
        file.append(entry.text());
        if (file.error() != 0) break;
        result.entriesWritten = n;
        if (progress && (n % progressStep == 0 || n == entriesTotal)) progress(n, entriesTotal);

        if (const EntryText::Change change = entry.moveOn(); change.needsLayout()) {
            // The clocks have moved on already; only the layout changes.
            if (change.passedMidnight) day = 1;
            const std::string elapsed(entry.elapsed(), 8);
            const std::string next(entry.next(), 8);
            const std::string timeOfDay(entry.timeOfDay(), 8);
            entry.layOut(n + 1, elapsed.data(), next.data(), prefixOfDay[day], timeOfDay.data());
        }
    }

    result.errorNumber = file.close();
    return result;
}

}  // namespace kelm::TimecodeFile
