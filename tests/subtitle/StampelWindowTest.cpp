#include "MessageSink.h"
#include "RecordingChooser.h"
#include "StampelWindow.h"
#include "SubtitleReader.h"
#include "recorder/Clock.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <memory>

namespace {

using kelm::StampelWindow;

struct ShownMessage {
    QMessageBox::Icon icon;
    QString caption;
    QString text;
};

class RecordingMessages final : public kelm::MessageSink {
public:
    void showMessage(QWidget*, QMessageBox::Icon icon, const QString& caption,
                     const QString& text) override {
        shown.append({icon, caption, text});
    }
    QList<ShownMessage> shown;
};

class ScriptedChooser final : public kelm::RecordingChooser {
public:
    QString chooseRecording(QWidget*, const QString& currentPath) override {
        offeredPaths << currentPath;
        return answer;
    }
    QString answer;
    QStringList offeredPaths;
};

class SubtitleStampelWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_window = std::make_unique<StampelWindow>(m_clock, m_messages, m_chooser);
        m_window->show();
        m_window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
    }

    template <typename T>
    T* control(const char* name) const {
        T* found = m_window->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QLineEdit* field(const char* name) const { return control<QLineEdit>(name); }
    QPushButton* button(const char* name) const { return control<QPushButton>(name); }
    QProgressBar* progress() const { return control<QProgressBar>("progress"); }

    QString recording(const QString& name) {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("wmv");
        return path;
    }

    void choose(const QString& path) {
        m_chooser.answer = path;
        button("chooseRecording")->click();
    }

    // Focuses a field and replaces its text as typing over its selection
    // would (QTest cannot type accented letters).
    void typeInto(const char* name, const QString& text) {
        QLineEdit* edit = field(name);
        edit->setFocus();
        edit->selectAll();
        edit->insert(text);
    }

    bool waitForMessages(qsizetype count) {
        return QTest::qWaitFor([&] { return m_messages.shown.size() >= count; }, 20000);
    }

    kelm::ManualClock m_clock{QDateTime(QDate(2024, 3, 9), QTime(10, 0))};
    RecordingMessages m_messages;
    ScriptedChooser m_chooser;
    QTemporaryDir m_dir;
    std::unique_ptr<StampelWindow> m_window;
};

const QString kToday = QStringLiteral("2024-03-09");

// --- the window as it opens ---------------------------------------------------

TEST_F(SubtitleStampelWindow, OpensWithItsControlsAndTheirStartingValues) {
    EXPECT_EQ(m_window->windowTitle(), QStringLiteral("Stampel"));
    EXPECT_FALSE(m_window->windowIcon().isNull());
    EXPECT_EQ(button("chooseRecording")->text(), QStringLiteral("Megnyítás..."));
    EXPECT_EQ(button("startButton")->text(), QStringLiteral("Start"));
    EXPECT_EQ(control<QLabel>("channelLabel")->text(), QStringLiteral("Csatorna neve:"));
    EXPECT_EQ(control<QLabel>("startTimeLabel")->text(), QStringLiteral("Kezdési idő:"));
    EXPECT_EQ(control<QLabel>("durationLabel")->text(), QStringLiteral("Hossz:"));
    EXPECT_EQ(control<QLabel>("startDateLabel")->text(), QStringLiteral("Kezdési dátum:"));
    EXPECT_LT(control<QLabel>("credit")->font().pointSizeF(), m_window->font().pointSizeF());
    EXPECT_TRUE(field("mediaFile")->text().isEmpty());
    EXPECT_TRUE(field("channelName")->text().isEmpty());
    EXPECT_EQ(field("startTime")->text(), QStringLiteral("00:00:00"));
    EXPECT_EQ(field("duration")->text(), QStringLiteral("00:00:00"));
    EXPECT_EQ(field("startDate")->text(), kToday);
    EXPECT_EQ(progress()->value(), 0);
}

// --- choosing a recording -------------------------------------------------------

TEST_F(SubtitleStampelWindow, ChoosingARecordingShowsItAndFillsOrResetsTheFields) {
    const QString kelmName = recording(QStringLiteral("teszttv-20061231-203000-013000-TV512.wmv"));
    choose(kelmName);
    EXPECT_EQ(field("mediaFile")->text(), kelmName);
    EXPECT_EQ(field("mediaFile")->toolTip(), kelmName);
    EXPECT_EQ(field("channelName")->text(), QStringLiteral("teszttv"));
    EXPECT_EQ(field("startTime")->text(), QStringLiteral("20:30:00"));
    EXPECT_EQ(field("duration")->text(), QStringLiteral("01:30:00"));
    EXPECT_EQ(field("startDate")->text(), QStringLiteral("2006-12-31"));

    // a cancelled dialog changes nothing, not even what was typed
    typeInto("channelName", QStringLiteral("kézi"));
    choose(QString());
    EXPECT_EQ(m_chooser.offeredPaths.last(), kelmName);
    EXPECT_EQ(field("mediaFile")->text(), kelmName);
    EXPECT_EQ(field("channelName")->text(), QStringLiteral("kézi"));

    choose(recording(QStringLiteral("clip.wmv")));
    EXPECT_TRUE(field("channelName")->text().isEmpty());
    EXPECT_EQ(field("startTime")->text(), QStringLiteral("00:00:00"));
    EXPECT_EQ(field("duration")->text(), QStringLiteral("00:00:00"));
    EXPECT_EQ(field("startDate")->text(), kToday);
}

// --- refusals -------------------------------------------------------------------

TEST_F(SubtitleStampelWindow, ZeroDurationIsRefusedFirstWithItsMessage) {
    button("startButton")->click();  // nothing chosen either
    choose(recording(QStringLiteral("clip.wmv")));
    button("startButton")->click();
    ASSERT_EQ(m_messages.shown.size(), 2);
    for (const ShownMessage& message : m_messages.shown) {
        EXPECT_EQ(message.icon, QMessageBox::Warning);
        EXPECT_EQ(message.caption, QStringLiteral("Stampel"));
        EXPECT_EQ(message.text, QStringLiteral("A Hossz mező nem lehet 00:00:00 !"));
    }
    EXPECT_FALSE(m_window->isGenerating());
    EXPECT_FALSE(QFile::exists(m_dir.filePath(QStringLiteral("clip.sub"))));
}

TEST_F(SubtitleStampelWindow, MissingChoiceIsRefusedWithItsMessage) {
    typeInto("duration", QStringLiteral("00:00:10"));
    button("startButton")->click();
    ASSERT_EQ(m_messages.shown.size(), 1);
    EXPECT_EQ(m_messages.shown[0].icon, QMessageBox::Warning);
    EXPECT_EQ(m_messages.shown[0].text, QStringLiteral("Nincs kijelölve a felvétel!"));
}

TEST_F(SubtitleStampelWindow, RecordingRemovedAfterChoosingIsReportedWithItsErrorNumber) {
    const QString path = recording(QStringLiteral("teszttv-20061231-203000-013000-TV512.wmv"));
    choose(path);
    QFile::remove(path);
    button("startButton")->click();
    ASSERT_TRUE(waitForMessages(1));
    EXPECT_EQ(m_messages.shown[0].icon, QMessageBox::Warning);
    EXPECT_TRUE(m_messages.shown[0].text.startsWith(QString::number(ENOENT) + u' '))
        << m_messages.shown[0].text.toStdString();
    EXPECT_GT(m_messages.shown[0].text.size(), 2);
    EXPECT_FALSE(
        QFile::exists(m_dir.filePath(QStringLiteral("teszttv-20061231-203000-013000-TV512.sub"))));
    EXPECT_TRUE(button("startButton")->isEnabled());
}

// --- generating -------------------------------------------------------------------

TEST_F(SubtitleStampelWindow, WritesTheSubtitleFileAndNamesItWhenDone) {
    choose(recording(QStringLiteral("M1-20061231-235959-000001-TV512.wmv")));
    button("startButton")->click();
    ASSERT_TRUE(waitForMessages(1));
    EXPECT_EQ(m_messages.shown[0].icon, QMessageBox::NoIcon);
    EXPECT_EQ(m_messages.shown[0].caption, QStringLiteral("Stampel"));
    EXPECT_EQ(m_messages.shown[0].text,
              QStringLiteral("A timecode elkészült: M1-20061231-235959-000001-TV512.sub"));
    QFile subtitle(m_dir.filePath(QStringLiteral("M1-20061231-235959-000001-TV512.sub")));
    ASSERT_TRUE(subtitle.open(QIODevice::ReadOnly));
    EXPECT_EQ(subtitle.readAll(), describedExample());
    EXPECT_EQ(progress()->maximum(), 1);
    EXPECT_EQ(progress()->value(), 1);
}

TEST_F(SubtitleStampelWindow, RunsOffTheWindowsThreadAndStartCannotBeginASecondRun) {
    const QString path = recording(QStringLiteral("day-20061231-235959-235959-TV512.wmv"));
    choose(path);
    QPushButton* start = button("startButton");
    start->click();
    // The click has returned before the run could end: the window is free.
    EXPECT_TRUE(m_window->isGenerating());
    EXPECT_FALSE(start->isEnabled());
    start->click();
    QTest::keyClick(start, Qt::Key_Return);
    ASSERT_TRUE(waitForMessages(1));
    QTest::qWait(50);
    EXPECT_EQ(m_messages.shown.size(), 1);
    EXPECT_FALSE(m_window->isGenerating());
    EXPECT_TRUE(start->isEnabled());
    EXPECT_EQ(progress()->maximum(), 86399);
    EXPECT_EQ(progress()->value(), 86399);
    EXPECT_EQ(
        readSubtitleFile(m_dir.filePath(QStringLiteral("day-20061231-235959-235959-TV512.sub")))
            .entries.size(),
        86400);
}

TEST_F(SubtitleStampelWindow, StartChecksFieldsThatWereNeverLeft) {
    choose(recording(QStringLiteral("clip.wmv")));
    // set without the focus ever leaving the field
    field("duration")->setText(QStringLiteral("130"));
    field("startTime")->setText(QStringLiteral("1:2:3"));
    button("startButton")->click();
    ASSERT_TRUE(waitForMessages(1));
    EXPECT_EQ(field("duration")->text(), QStringLiteral("00:01:30"));
    const SubtitleFileContents file = readSubtitleFile(m_dir.filePath(QStringLiteral("clip.sub")));
    ASSERT_EQ(file.entries.size(), 91);
    EXPECT_EQ(file.entries[0].timeOfDaySeconds, 3723);
}

TEST_F(SubtitleStampelWindow, ClosingDuringARunLetsItFinishTheFile) {
    choose(recording(QStringLiteral("day-20061231-000000-235959-TV512.wmv")));
    button("startButton")->click();
    ASSERT_TRUE(m_window->isGenerating());
    m_window.reset();
    EXPECT_EQ(
        readSubtitleFile(m_dir.filePath(QStringLiteral("day-20061231-000000-235959-TV512.sub")))
            .entries.size(),
        86400);
}

// --- field behaviour ---------------------------------------------------------------

TEST_F(SubtitleStampelWindow, EnterLaysOutEachFieldAndMovesOnToStart) {
    typeInto("channelName", QStringLiteral("M1"));
    QTest::keyClick(field("channelName"), Qt::Key_Return);
    EXPECT_TRUE(field("startTime")->hasFocus());
    QTest::keyClicks(field("startTime"), QStringLiteral("1:2:3"));
    QTest::keyClick(field("startTime"), Qt::Key_Return);
    EXPECT_EQ(field("startTime")->text(), QStringLiteral("01:02:03"));
    EXPECT_TRUE(field("duration")->hasFocus());
    QTest::keyClicks(field("duration"), QStringLiteral("5"));
    QTest::keyClick(field("duration"), Qt::Key_Enter);
    EXPECT_EQ(field("duration")->text(), QStringLiteral("00:00:05"));
    EXPECT_TRUE(field("startDate")->hasFocus());
    QTest::keyClicks(field("startDate"), QStringLiteral("2006.12.31."));
    QTest::keyClick(field("startDate"), Qt::Key_Return);
    EXPECT_EQ(field("startDate")->text(), QStringLiteral("2006-12-31"));
    EXPECT_TRUE(button("startButton")->hasFocus());
}

TEST_F(SubtitleStampelWindow, LeavingAFieldWithSomethingInvalidResetsIt) {
    typeInto("startTime", QStringLiteral("25:00:00"));
    typeInto("duration", QStringLiteral("12:3x"));        // leaves the start time
    typeInto("startDate", QStringLiteral("2007-02-29"));  // leaves the duration
    field("channelName")->setFocus();                     // leaves the start date
    EXPECT_EQ(field("startTime")->text(), QStringLiteral("00:00:00"));
    EXPECT_EQ(field("duration")->text(), QStringLiteral("00:00:00"));
    EXPECT_EQ(field("startDate")->text(), kToday);
}

TEST_F(SubtitleStampelWindow, EmptiedFieldsRefillSelectedSoTypingReplacesThem) {
    field("startTime")->setFocus();
    field("startTime")->clear();
    EXPECT_EQ(field("startTime")->text(), QStringLiteral("00:00:00"));
    EXPECT_EQ(field("startTime")->selectedText(), QStringLiteral("00:00:00"));
    QTest::keyClicks(field("startTime"), QStringLiteral("7:30"));
    EXPECT_EQ(field("startTime")->text(), QStringLiteral("7:30"));
    field("startDate")->setText(QStringLiteral("2006-12-31"));
    field("startDate")->clear();
    EXPECT_EQ(field("startDate")->text(), kToday);
    field("duration")->clear();
    EXPECT_EQ(field("duration")->text(), QStringLiteral("00:00:00"));
}

TEST_F(SubtitleStampelWindow, FocusSelectsTheWholeField) {
    for (const char* name : {"startTime", "duration", "startDate"}) {
        field("channelName")->setFocus();
        field(name)->setFocus(Qt::MouseFocusReason);
        EXPECT_TRUE(QTest::qWaitFor([&] { return field(name)->hasSelectedText(); }, 2000)) << name;
        EXPECT_EQ(field(name)->selectedText(), field(name)->text()) << name;
    }
}

}  // namespace

// Test discovery runs this program at build time, outside ctest's environment,
// where there may be no display: default to the offscreen platform.
int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
