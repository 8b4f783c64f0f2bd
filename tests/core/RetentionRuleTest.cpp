#include "recorder/RetentionRule.h"

#include <gtest/gtest.h>

using namespace kelm;

namespace {

const QDate kToday(2026, 12, 8);

QString recording(const QDate& day, const QString& shortName = QStringLiteral("teszttv")) {
    return shortName + u'-' + day.toString(QStringLiteral("yyyyMMdd")) +
           QStringLiteral("-200000-010000-TV512.wmv");
}

QStringList expiredNames(const QStringList& names, int keepDays, const QString& running = {}) {
    QStringList result;
    for (const auto& entry :
         RetentionRule::expired(names, QStringLiteral("teszttv"), kToday, keepDays, running))
        result << entry.recording;
    return result;
}

}  // namespace

TEST(RetentionRule, AgeIsTheDayInTheNameInWholeDays) {
    const QString keptExactly = recording(kToday.addDays(-30));
    const QString oneDayOver = recording(kToday.addDays(-31));
    const QString today = recording(kToday);
    // A name from the future (a clock set back) is young, not old.
    const QString future = recording(kToday.addDays(3));
    EXPECT_EQ(expiredNames({keptExactly, oneDayOver, today, future}, 30), QStringList{oneDayOver});
    // Kept for one day: yesterday's recordings stay, the day before's go.
    EXPECT_EQ(expiredNames({recording(kToday.addDays(-1)), recording(kToday.addDays(-2))}, 1),
              QStringList{recording(kToday.addDays(-2))});
}

TEST(RetentionRule, NothingGoesWhenRecordingsAreKeptForever) {
    const QStringList names{recording(kToday.addDays(-4000))};
    EXPECT_TRUE(expiredNames(names, 0).isEmpty());
    EXPECT_TRUE(expiredNames(names, -1).isEmpty());
}

TEST(RetentionRule, OnlyThisChannelsRecordingNamesEverGo) {
    const QDate old = kToday.addDays(-100);
    const QString ours = recording(old);
    const QStringList others{
        recording(old, QStringLiteral("masiktv")),
        // A channel whose short name ends like ours, or begins like it.
        recording(old, QStringLiteral("xteszttv")),
        recording(old, QStringLiteral("teszttv-2")),
        QStringLiteral("jegyzet.txt"),
        QStringLiteral("teszttv-20200101.log"),
        QStringLiteral("teszttv-20200101-200000-010000-TV512.avi"),
        QStringLiteral("teszttv-20200101-2000-010000-TV512.wmv"),
        QStringLiteral("teszttv-20201301-200000-010000-TV512.wmv"),  // no such month
        QStringLiteral("teszttv-20200101-200000-010000-TV999.wmv"),
        QStringLiteral("preview-") + ours,
        QStringLiteral("teszttv-20201208.sha256"),
    };
    QStringList names = others;
    names << ours;
    EXPECT_EQ(expiredNames(names, 30), QStringList{ours});
}

TEST(RetentionRule, ATakenNamesExtendedFormIsARecordingToo) {
    const QString first = recording(kToday.addDays(-40));
    const QString second = first + QStringLiteral(".FIGYELEM.wmv");
    const QString third = second + QStringLiteral(".FIGYELEM.wmv");
    EXPECT_EQ(expiredNames({first, second, third}, 30), (QStringList{first, second, third}));
}

TEST(RetentionRule, TheRunningRecordingNeverGoesHoweverOldItsName) {
    // A recording that started before a long outage of the clock, or a
    // folder's name that was wrong for weeks: it is being written now.
    const QString running = recording(kToday.addDays(-60));
    const QString old = recording(kToday.addDays(-61));
    EXPECT_EQ(expiredNames({running, old}, 30, running), QStringList{old});
}

TEST(RetentionRule, ARecordingGoesWithItsSubtitlesAndPreviewCopyWhenThereAreAny) {
    const QString old = recording(kToday.addDays(-40));
    const QString stem = old.chopped(4);
    const QString extended = old + QStringLiteral(".FIGYELEM.wmv");
    const QStringList names{old, stem + QStringLiteral(".sub"), QStringLiteral("preview-") + old,
                            // Shared by every preview of the channel: the preview's own.
                            QStringLiteral("preview-teszttv--idx.wmv"), extended};
    const auto expired =
        RetentionRule::expired(names, QStringLiteral("teszttv"), kToday, 30, QString());
    ASSERT_EQ(expired.size(), 2);
    EXPECT_EQ(expired.at(0).recording, old);
    EXPECT_EQ(expired.at(0).companions,
              (QStringList{stem + QStringLiteral(".sub"), QStringLiteral("preview-") + old}));
    // The extended name's subtitles would be "<name>.wmv.FIGYELEM.sub": not there.
    EXPECT_EQ(expired.at(1).recording, extended);
    EXPECT_TRUE(expired.at(1).companions.isEmpty());
}
