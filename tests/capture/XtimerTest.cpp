#include "ManualTimerService.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QElapsedTimer>

namespace kelm {
namespace {

using test::ManualTimerService;

struct Fixture {
    ManualTimerService service;
    XtimerTable table{service};
};

TEST(Xtimer, RunsOnlyWhileEnabledWithAnInterval) {
    Fixture f;
    Xtimer t(f.table);
    ASSERT_TRUE(t.setEnabled(true).ok());
    EXPECT_EQ(t.timerId(), 0u) << "no interval yet";
    EXPECT_TRUE(f.service.running.empty());
    t.setInterval(40);
    ASSERT_NE(t.timerId(), 0u);
    EXPECT_EQ(f.service.running.at(t.timerId()), 40);
    const std::uint32_t first = t.timerId();
    t.setInterval(40);
    EXPECT_EQ(t.timerId(), first) << "the same interval does not restart";
    t.setInterval(25);
    EXPECT_NE(t.timerId(), first);
    EXPECT_EQ(f.service.running.size(), 1u);
    t.setInterval(0);
    EXPECT_EQ(t.timerId(), 0u);
    EXPECT_TRUE(f.service.running.empty());
    t.setInterval(40);
    t.setEnabled(false);
    EXPECT_TRUE(f.service.running.empty());
    EXPECT_EQ(t.timerId(), 0u);
}

TEST(Xtimer, TableGrowsByFiveAndReusesFreedEntries) {
    Fixture f;
    std::vector<std::unique_ptr<Xtimer>> timers;
    EXPECT_EQ(f.table.size(), 0);
    for (int i = 0; i < 6; ++i) {
        timers.push_back(std::make_unique<Xtimer>(f.table));
        timers.back()->setInterval(10 + i);
        timers.back()->setEnabled(true);
        EXPECT_EQ(f.table.size(), i < 5 ? 5 : 10);
    }
    EXPECT_EQ(f.table.entryOf(timers[2]->timerId()), 3);
    timers[2]->setEnabled(false);
    Xtimer another(f.table);
    another.setInterval(40);
    another.setEnabled(true);
    EXPECT_EQ(f.table.entryOf(another.timerId()), 3) << "the freed entry is taken again";
    EXPECT_EQ(f.table.size(), 10);
}

TEST(Xtimer, ATickIsDroppedWhileThePreviousOneRuns) {
    Fixture f;
    Xtimer t(f.table);
    int ticks = 0;
    t.Timer = [&] {
        ++ticks;
        if (ticks == 1) f.service.tick(t.timerId());  // a handler that pumps events
        return TickResult::Continue;
    };
    t.setInterval(40);
    t.setEnabled(true);
    f.service.tick(t.timerId());
    EXPECT_EQ(ticks, 1);
    f.service.tick(t.timerId());
    EXPECT_EQ(ticks, 2) << "the busy mark is cleared after the tick";
}

TEST(Xtimer, AFailingHandlerStopsOnlyItsOwnTimerForGood) {
    Fixture f;
    Xtimer failing(f.table);
    Xtimer healthy(f.table);
    int healthyTicks = 0;
    failing.Timer = [] { return TickResult::Failed; };
    healthy.Timer = [&] {
        ++healthyTicks;
        return TickResult::Continue;
    };
    for (Xtimer* t : {&failing, &healthy}) {
        t->setInterval(40);
        t->setEnabled(true);
    }
    const std::uint32_t id = failing.timerId();
    f.service.tick(id);
    EXPECT_FALSE(f.service.running.count(id));
    EXPECT_TRUE(failing.enabled()) << "the object keeps its values";
    EXPECT_EQ(failing.timerId(), id);
    f.service.tick(healthy.timerId());
    EXPECT_EQ(healthyTicks, 1);
    // Only off and on again restarts it.
    failing.setEnabled(false);
    failing.setEnabled(true);
    EXPECT_TRUE(f.service.running.count(failing.timerId()));
}

TEST(Xtimer, ATickForAnUnknownTimerKillsIt) {
    Fixture f;
    f.service.tick(4242);
    ASSERT_EQ(f.service.killed.size(), 1u);
    EXPECT_EQ(f.service.killed.front(), 4242u);
}

TEST(Xtimer, NoSystemTimerLeftIsReportedToTheWriter) {
    Fixture f;
    f.service.exhausted = true;
    Xtimer t(f.table);
    t.setInterval(40);
    const XtimerStatus status = t.setEnabled(true);
    EXPECT_EQ(status.code, 0x80047925u);
    EXPECT_EQ(status.description, QStringLiteral("Keine Zeitgeber verfügbar."));
    EXPECT_EQ(t.timerId(), 0u);
}

TEST(Xtimer, ATimerGoingAwayFreesItsEntry) {
    Fixture f;
    std::uint32_t id = 0;
    {
        Xtimer t(f.table);
        t.setInterval(40);
        t.setEnabled(true);
        id = t.timerId();
    }
    EXPECT_FALSE(f.service.running.count(id));
    EXPECT_EQ(f.table.entryOf(id), 0);
}

TEST(QtTimerService, TicksThroughTheEventLoopUntilKilled) {
    QtTimerService service;
    XtimerTable table(service);
    Xtimer t(table);
    int ticks = 0;
    t.Timer = [&] {
        if (++ticks == 3) t.setEnabled(false);  // stopped from inside its own tick
        return TickResult::Continue;
    };
    t.setInterval(5);
    t.setEnabled(true);
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 300) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(ticks, 3);
}

}  // namespace
}  // namespace kelm
