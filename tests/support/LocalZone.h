#pragma once

#include <QByteArray>

#include <cstdlib>
#include <ctime>

namespace kelm::test {

// Local time is the given zone's for as long as this lives, with its
// summer-time changes; the zone the test started with comes back after.
class LocalZone {
public:
    explicit LocalZone(const char* zone = "Europe/Budapest") {
        if (const char* tz = std::getenv("TZ")) m_saved = tz;
        m_hadZone = std::getenv("TZ") != nullptr;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~LocalZone() {
        if (m_hadZone)
            ::setenv("TZ", m_saved.constData(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }
    LocalZone(const LocalZone&) = delete;
    LocalZone& operator=(const LocalZone&) = delete;

private:
    QByteArray m_saved;
    bool m_hadZone = false;
};

}  // namespace kelm::test
