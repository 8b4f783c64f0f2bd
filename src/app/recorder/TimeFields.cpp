#include "TimeFields.h"

#include "recorder/TimeText.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>

namespace kelm {

TimeFields::TimeFields(QLineEdit* start, QLineEdit* end, QLineEdit* duration, const Clock& clock,
                       std::function<bool()> immediateMode, QWidget* afterDuration, QObject* parent)
    : QObject(parent),
      m_start(start),
      m_end(end),
      m_duration(duration),
      m_clock(clock),
      m_immediateMode(std::move(immediateMode)),
      m_afterDuration(afterDuration) {
    for (QLineEdit* f : {m_start, m_end, m_duration}) f->installEventFilter(this);
    // Clearing the start field shows the reset value at once.
    connect(m_start, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text.isEmpty()) {
            m_start->setText(TimeText::zero());
            return;
        }
        m_startSecond = TimeText::secondsOfDay(text);
    });
    m_startSecond = TimeText::secondsOfDay(m_start->text());
}

std::optional<int> TimeFields::durationSeconds() const {
    return TimeText::secondsOfDay(m_duration->text());
}

bool TimeFields::startHasFocus() const {
    return m_start->window()->focusWidget() == m_start;
}

TimeFields::Texts TimeFields::texts() const {
    return {m_start->text(), m_end->text(), m_duration->text()};
}

void TimeFields::setTexts(const std::optional<QString>& start, const std::optional<QString>& end,
                          const std::optional<QString>& duration) {
    if (start) m_start->setText(*start);
    if (end) m_end->setText(*end);
    if (duration) m_duration->setText(*duration);
}

void TimeFields::startAt(const QTime& now) {
    const QString start = TimeText::format(now);
    m_start->setText(start);
    if (const auto end = TimeText::addTimes(start, m_duration->text())) m_end->setText(*end);
}

int TimeFields::normaliseDuration() {
    const QString duration = TimeText::normalise(m_duration->text());
    m_duration->setText(duration);
    return TimeText::secondsOfDay(duration).value_or(0);
}

void TimeFields::setEditable(bool editable, bool start) {
    m_start->setEnabled(start);
    m_end->setEnabled(editable);
    m_duration->setEnabled(editable);
}

void TimeFields::setStartEditable(bool editable) {
    m_start->setEnabled(editable);
}

int TimeFields::nowSecond() const {
    return TimeText::secondsOfDay(m_clock.now().time());
}

QColor TimeFields::colour(const QLineEdit* field) {
    return field->palette().color(QPalette::Text);
}

void TimeFields::setColour(QLineEdit* field, const QColor& colour) {
    QPalette p = field->palette();
    p.setColor(QPalette::Text, colour);
    field->setPalette(p);
}

void TimeFields::startLeave() {
    const QString text = TimeText::normalise(m_start->text());
    m_start->setText(text);
    // A start that is no time of day is reset, and the operator stays in the
    // field to type it again.
    if (!TimeText::isValidTime(text) || !TimeText::digitFields(text).inRange()) {
        m_start->setText(TimeText::zero());
        m_start->update();
        m_start->setFocus();
        m_start->selectAll();
        // When this runs while the focus is leaving, Qt finishes moving it
        // afterwards: take it back once that is done.
        QTimer::singleShot(0, m_start, [start = m_start] {
            start->setFocus();
            start->selectAll();
        });
        return;
    }
    const int startSecond = *TimeText::secondsOfDay(text);
    setColour(m_start, startSecond < nowSecond() ? kBlue : kBlack);
}

void TimeFields::durationLeave() {
    const QString duration = TimeText::normalise(m_duration->text());
    m_duration->setText(duration);
    const auto end = m_immediateMode()
                         ? TimeText::addTimes(TimeText::format(m_clock.now().time()), duration)
                         : TimeText::addTimes(m_start->text(), duration);
    if (!end) {
        m_duration->setText(TimeText::zero());
        m_duration->selectAll();
        return;
    }
    if (m_immediateMode()) setColour(m_end, kBlack);
    m_end->setText(*end);
}

void TimeFields::endLeave() {
    const QString end = TimeText::normalise(m_end->text());
    m_end->setText(end);
    const auto endSecond = TimeText::secondsOfDay(end);
    const auto startSecond = TimeText::secondsOfDay(m_start->text());
    if (!endSecond || !startSecond) {
        m_end->setText(TimeText::zero());
        m_end->selectAll();
        return;
    }
    if (!m_immediateMode()) m_duration->setText(*TimeText::durationBetween(m_start->text(), end));
    const bool nextDay = colour(m_start) == kBlue || *endSecond < *startSecond;
    setColour(m_end, nextDay ? kBlue : kBlack);
    m_duration->setText(TimeText::normalise(m_duration->text()));
}

void TimeFields::runLeave(QLineEdit* field) {
    if (field == m_start)
        startLeave();
    else if (field == m_end)
        endLeave();
    else
        durationLeave();
}

bool TimeFields::leavesForAnotherControl(const QLineEdit& field, Qt::FocusReason reason) {
    // The operator leaves a field by Tab, Enter or a click on another control.
    // The focus also goes when the window is deactivated, a menu or popup
    // opens, or the form lock disables the field: none of these is the
    // operator finishing the field, and acting then would recompute an end
    // from the current time or reset a half-typed start behind their back.
    if (!field.isEnabled()) return false;
    switch (reason) {
        case Qt::ActiveWindowFocusReason:
        case Qt::PopupFocusReason:
        case Qt::MenuBarFocusReason:
            return false;
        default:
            return true;
    }
}

void TimeFields::commitFocusedEdit() {
    for (QLineEdit* field : {m_start, m_end, m_duration}) {
        if (field->window()->focusWidget() == field && field->isEnabled() && field->isModified()) {
            field->setModified(false);
            runLeave(field);
        }
    }
}

bool TimeFields::eventFilter(QObject* watched, QEvent* event) {
    auto* field = qobject_cast<QLineEdit*>(watched);
    if (!field) return false;
    switch (event->type()) {
        case QEvent::FocusIn:
            // Select after Qt's own focus handling has placed the caret.
            QTimer::singleShot(0, field, [field] { field->selectAll(); });
            break;
        case QEvent::FocusOut:
            if (leavesForAnotherControl(*field, static_cast<QFocusEvent*>(event)->reason()))
                runLeave(field);
            break;
        case QEvent::KeyPress: {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key != Qt::Key_Return && key != Qt::Key_Enter) break;
            // Moving the focus runs the leave action through FocusOut.
            QWidget* next = field == m_start ? m_end
                            : field == m_end ? m_duration
                                             : m_afterDuration;
            if (next && next->isEnabled() && next->isVisible())
                next->setFocus(Qt::TabFocusReason);
            else
                runLeave(field);
            return true;
        }
        default:
            break;
    }
    return false;
}

}  // namespace kelm
