#pragma once

#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QObject>
#include <QTimer>

namespace kelm {

// Stalls of the GUI thread, logged under "kelm.stall".
Q_DECLARE_LOGGING_CATEGORY(lcStall)

// Watches the GUI thread's event loop: a beat every 20 ms, and any gap between
// two beats longer than the limit is logged with the marked work that held the
// loop (see BusyScope), so a device or disk that blocks the window is named.
class StallWatch final : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 kLimitMs = 100;

    StallWatch();
    void start();
    // The longest gap seen, in ms, and the work marked as running in it.
    qint64 longestStallMs() const { return m_longestMs; }
    QString longestStallWork() const { return m_longestWork; }

private:
    void beat();

    QTimer m_beat;
    QElapsedTimer m_sinceBeat;
    qint64 m_longestMs = 0;
    QString m_longestWork;
};

// Marks a piece of GUI-thread work ("scheduler tick", "start button"): one
// that takes longer than the limit is logged with its name and length, and a
// stall the watch sees is put down to it.
class BusyScope final {
public:
    explicit BusyScope(const char* what);
    ~BusyScope();
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

    // The marked work running now, or the last one that held the loop too
    // long; empty when there is none.
    static const char* current();

private:
    const char* m_what;
    const char* m_outer;
    QElapsedTimer m_took;
};

}  // namespace kelm
