#pragma once

#include "recorder/Clock.h"

#include <QColor>
#include <QObject>
#include <QTime>
#include <functional>
#include <optional>

class QLineEdit;
class QWidget;

namespace kelm {

// The start, end and duration fields of a recording. Leaving a field
// normalises its text to "HH:mm:ss", checks it and recomputes the dependent
// field: leaving the duration sets the end, leaving the end sets the duration.
// Start and end are shown blue when they fall on the next day.
class TimeFields final : public QObject {
    Q_OBJECT
public:
    static inline const QColor kBlue{0, 0, 255};
    static inline const QColor kBlack{0, 0, 0};

    // `immediateMode` tells whether the "Most" button is pressed; `afterDuration`
    // is where Enter in the duration field moves the focus.
    TimeFields(QLineEdit* start, QLineEdit* end, QLineEdit* duration, const Clock& clock,
               std::function<bool()> immediateMode, QWidget* afterDuration,
               QObject* parent = nullptr);

    void startLeave();
    void endLeave();
    void durationLeave();

    // The fields as times of day and lengths, in seconds; nullopt while a
    // field does not read as one. The start is read once per edit, not on
    // every tick that asks for it.
    std::optional<int> startSecond() const { return m_startSecond; }
    std::optional<int> durationSeconds() const;
    // Whether the start field has the focus (the operator may be typing in it).
    bool startHasFocus() const;

    // The texts as the operator sees them, for the log and the state file.
    struct Texts {
        QString start;
        QString end;
        QString duration;
    };
    Texts texts() const;
    // Sets the texts that are given, as they stand: no leave action runs.
    void setTexts(const std::optional<QString>& start, const std::optional<QString>& end,
                  const std::optional<QString>& duration);

    // An immediate recording starts now: the start shows `now`, and the end
    // the start plus the duration.
    void startAt(const QTime& now);
    // Writes the duration in its normal form ("HH:mm:ss") and returns it in
    // seconds (0 when it does not read as a length).
    int normaliseDuration();

    // The operator may edit the fields (`start`: the start field as well).
    void setEditable(bool editable, bool start);
    void setStartEditable(bool editable);

    // A command (the start button, a mode button) takes what the operator has
    // typed into the focused field as if they had left it: its leave action
    // runs when its text was edited since it was last set.
    void commitFocusedEdit();

    static QColor colour(const QLineEdit* field);
    // Whether losing the focus for `reason` is the operator leaving the field.
    static bool leavesForAnotherControl(const QLineEdit& field, Qt::FocusReason reason);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void runLeave(QLineEdit* field);
    void setColour(QLineEdit* field, const QColor& colour);
    int nowSecond() const;

    QLineEdit* m_start;
    QLineEdit* m_end;
    QLineEdit* m_duration;
    const Clock& m_clock;
    std::function<bool()> m_immediateMode;
    QWidget* m_afterDuration;
    std::optional<int> m_startSecond;  // the start field's time, renewed on every change
};

}  // namespace kelm
