#pragma once

#include <cstdint>

namespace kelm {

// A calendar date (proleptic Gregorian) in plain C++, for the parts of the
// timecode writer that must run without Qt (see TimecodeFile.h).
struct CivilDate {
    int year = 0;
    int month = 0;  // 1..12
    int day = 0;    // 1..31

    bool isValid() const;
    CivilDate addDays(std::int64_t days) const;
    // "yyyy.MM.dd" into `out` (10 characters, no terminator) for years 0..9999.
    void writeDotted(char* out) const;

    friend bool operator==(const CivilDate&, const CivilDate&) = default;
};

}  // namespace kelm
