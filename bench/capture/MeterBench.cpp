// The level meters' cost: the real ALSA capture of the sound server's card,
// analysed on the 40 ms timer (25 ticks a second) and shown on the LED meter
// and the two waveform pictures, for a number of seconds. Prints the CPU time
// (user+sys) the metering took as a share of one core, with and without
// painting the widgets.
//
//   kelm_meter_bench [SECONDS]
#include "AlsaLevelCapture.h"
#include "AlsaSoundCards.h"
#include "LedMeter.h"
#include "WaveformPicture.h"
#include "capture/VuMeter.h"

#include <sys/resource.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QTimer>
#include <cstdio>

namespace {

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

class WidgetDisplay final : public kelm::LevelDisplay {
public:
    WidgetDisplay(kelm::LedMeter& meter, kelm::WaveformPicture& left, kelm::WaveformPicture& right,
                  bool paint)
        : m_meter(meter), m_left(left), m_right(right), m_paint(paint) {}
    int scopeHeight() const override { return m_left.height(); }
    void showLevels(int l, int r) override {
        m_meter.setLevel(0, l);
        m_meter.setLevel(1, r);
        ++ticks;
    }
    void showTraces(const kelm::WaveTrace& l, const kelm::WaveTrace& r) override {
        ++buffers;
        if (!m_paint) return;
        m_left.setTrace(l.points);
        m_right.setTrace(r.points);
    }
    int ticks = 0;
    int buffers = 0;

private:
    kelm::LedMeter& m_meter;
    kelm::WaveformPicture& m_left;
    kelm::WaveformPicture& m_right;
    bool m_paint;
};

struct Result {
    double cpu = 0;
    double wallS = 0;
    int ticks = 0;
    int buffers = 0;
    int lastLeft = 0;
};

Result run(const QString& card, kelm::AlsaSoundCards& cards, int seconds, bool paint) {
    QWidget window;
    auto* layout = new QHBoxLayout(&window);
    auto* meter = new kelm::LedMeter;
    auto* left = new kelm::WaveformPicture;
    auto* right = new kelm::WaveformPicture;
    layout->addWidget(meter);
    layout->addWidget(left);
    layout->addWidget(right);
    window.show();
    QCoreApplication::processEvents();

    kelm::QtTimerService service;
    kelm::XtimerTable timers(service);
    kelm::AlsaLevelCapture capture(cards);
    WidgetDisplay display(*meter, *left, *right, paint);
    kelm::VuMeter vu(capture, display, timers);
    if (!vu.startVuMeter(card)) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(card));
        return {};
    }
    QElapsedTimer wall;
    wall.start();
    const double cpu0 = cpuSeconds();
    QTimer::singleShot(seconds * 1000, qApp, &QCoreApplication::quit);
    QApplication::exec();
    Result r;
    r.cpu = cpuSeconds() - cpu0;
    r.wallS = double(wall.elapsed()) / 1000.0;
    r.ticks = display.ticks;
    r.buffers = display.buffers;
    r.lastLeft = meter->level(0);
    vu.stopVuMeter();
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
    kelm::AlsaSoundCards cards;
    QString card;
    for (const QString& c : cards.captureDevices()) {
        if (cards.pcmName(c) == u"pulse" || cards.pcmName(c) == u"default") {
            card = c;
            break;
        }
    }
    if (card.isEmpty()) {
        std::fprintf(stderr, "no sound server card (scripts/sound-server.sh)\n");
        return 1;
    }
    std::printf("card: %s, platform: %s, %d s per run\n", qPrintable(card),
                qPrintable(QApplication::platformName()), seconds);
    for (bool paint : {false, true}) {
        const Result r = run(card, cards, seconds, paint);
        std::printf(
            "%-24s ticks/s %5.1f  buffers/s %5.1f  CPU %6.3f s of %5.1f s = %5.2f %% of one core  "
            "(last level %d)\n",
            paint ? "analysis + painting" : "analysis only", r.ticks / r.wallS, r.buffers / r.wallS,
            r.cpu, r.wallS, 100.0 * r.cpu / r.wallS, r.lastLeft);
    }
    return 0;
}
