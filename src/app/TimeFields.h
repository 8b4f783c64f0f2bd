#pragma once

#include "recorder/Clock.h"

#include <QColor>
#include <QObject>
#include <functional>

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
};

}  // namespace kelm
