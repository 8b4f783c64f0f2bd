#include "StampelWindow.h"

#include "MessageSink.h"
#include "RecordingChooser.h"
#include "TimecodeRun.h"
#include "recorder/Clock.h"
#include "subtitle/StampelFields.h"
#include "subtitle/Timecode.h"

#include <QEvent>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace kelm {

namespace {

QLineEdit* lineEdit(const QString& name, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    return edit;
}

QLabel* label(const QString& name, const QString& text, QWidget* parent) {
    auto* caption = new QLabel(text, parent);
    caption->setObjectName(name);
    return caption;
}

bool isEnterKey(const QEvent* event) {
    if (event->type() != QEvent::KeyPress) return false;
    const int key = static_cast<const QKeyEvent*>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

}  // namespace

StampelWindow::StampelWindow(const Clock& clock, MessageSink& messages, RecordingChooser& chooser,
                             QWidget* parent)
    : QWidget(parent), m_clock(clock), m_messages(messages), m_chooser(chooser) {
    setWindowTitle(QStringLiteral("Stampel"));
    setWindowIcon(QIcon(QStringLiteral(":/stampel/stampel.svg")));
    m_run = new TimecodeRun(this);
    buildControls();
    connectControls();
    m_startDate->setText(todayText());
}

StampelWindow::~StampelWindow() = default;

void StampelWindow::buildControls() {
    m_mediaFile = lineEdit(QStringLiteral("mediaFile"), this);
    // The path comes from the open dialog only, so the file generated for is
    // always the file chosen.
    m_mediaFile->setReadOnly(true);
    m_chooseButton = new QPushButton(QStringLiteral("Megnyítás..."), this);
    m_chooseButton->setObjectName(QStringLiteral("chooseRecording"));
    m_chooseButton->setAutoDefault(true);

    m_fields = new QGroupBox(this);
    m_fields->setObjectName(QStringLiteral("fields"));
    m_channelLabel =
        label(QStringLiteral("channelLabel"), QStringLiteral("Csatorna neve:"), m_fields);
    m_channelName = lineEdit(QStringLiteral("channelName"), m_fields);
    m_startTimeLabel =
        label(QStringLiteral("startTimeLabel"), QStringLiteral("Kezdési idő:"), m_fields);
    m_startTime = lineEdit(QStringLiteral("startTime"), m_fields);
    m_startTime->setText(StampelFields::zeroTime());
    m_durationLabel = label(QStringLiteral("durationLabel"), QStringLiteral("Hossz:"), m_fields);
    m_duration = lineEdit(QStringLiteral("duration"), m_fields);
    m_duration->setText(StampelFields::zeroTime());
    m_startDateLabel =
        label(QStringLiteral("startDateLabel"), QStringLiteral("Kezdési dátum:"), m_fields);
    m_startDate = lineEdit(QStringLiteral("startDate"), m_fields);

    const int fieldWidth =
        m_startTime->fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00")) + 24;
    for (QLineEdit* field : {m_startTime, m_duration, m_startDate})
        field->setFixedWidth(fieldWidth);
    m_channelLabel->setBuddy(m_channelName);
    m_startTimeLabel->setBuddy(m_startTime);
    m_durationLabel->setBuddy(m_duration);
    m_startDateLabel->setBuddy(m_startDate);

    auto* fields = new QFormLayout(m_fields);
    fields->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    fields->addRow(m_channelLabel, m_channelName);
    fields->addRow(m_startTimeLabel, m_startTime);
    fields->addRow(m_durationLabel, m_duration);
    fields->addRow(m_startDateLabel, m_startDate);

    m_startButton = new QPushButton(QStringLiteral("Start"), this);
    m_startButton->setObjectName(QStringLiteral("startButton"));
    m_startButton->setAutoDefault(true);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("progress"));
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);

    m_credit =
        label(QStringLiteral("credit"), QStringLiteral("Készítette: a KELM fejlesztői"), this);
    QFont small = m_credit->font();
    small.setPointSizeF(small.pointSizeF() * 0.8);
    m_credit->setFont(small);
    m_credit->setEnabled(false);

    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(m_mediaFile, 1);
    fileRow->addWidget(m_chooseButton);
    auto* startRow = new QHBoxLayout;
    startRow->addWidget(m_progress, 1);
    startRow->addWidget(m_startButton);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fileRow);
    layout->addWidget(m_fields);
    layout->addLayout(startRow);
    layout->addWidget(m_credit);

    setTabOrder(m_mediaFile, m_chooseButton);
    setTabOrder(m_chooseButton, m_channelName);
    setTabOrder(m_channelName, m_startTime);
    setTabOrder(m_startTime, m_duration);
    setTabOrder(m_duration, m_startDate);
    setTabOrder(m_startDate, m_startButton);
    setMinimumWidth(420);
}

void StampelWindow::connectControls() {
    connect(m_chooseButton, &QPushButton::clicked, this, &StampelWindow::chooseRecording);
    connect(m_startButton, &QPushButton::clicked, this, &StampelWindow::startGeneration);
    connect(m_run, &TimecodeRun::progressed, this, &StampelWindow::showProgress);
    connect(m_run, &TimecodeRun::finished, this, &StampelWindow::finishGeneration);
    for (QLineEdit* field : {m_channelName, m_startTime, m_duration, m_startDate})
        field->installEventFilter(this);
    for (QLineEdit* field : {m_startTime, m_duration, m_startDate}) {
        connect(field, &QLineEdit::textChanged, this,
                [this, field](const QString& text) { refillWhenEmptied(field, text); });
    }
}

QString StampelWindow::todayText() const {
    return StampelFields::dateText(m_clock.now().date());
}

bool StampelWindow::isGenerating() const {
    return m_run->isRunning();
}

void StampelWindow::chooseRecording() {
    const QString path = m_chooser.chooseRecording(this, m_dialogFileName);
    // A cancelled dialog leaves the window as it was.
    if (!path.isEmpty()) openRecording(path);
}

void StampelWindow::openRecording(const QString& path) {
    m_dialogFileName = path;
    m_mediaFile->setText(path);
    m_mediaFile->setToolTip(path);
    m_mediaFileName = StampelFields::fileNameOf(path);

    const StampelFields fields = StampelFields::fromRecordingPath(path, m_clock.now().date());
    m_channelName->setText(fields.channelName);
    m_startTime->setText(fields.startTime);
    m_duration->setText(fields.duration);
    m_startDate->setText(fields.startDate);
    m_progress->setValue(0);
}

void StampelWindow::refillWhenEmptied(QLineEdit* field, const QString& text) {
    if (!text.isEmpty()) return;
    field->setText(field == m_startDate ? todayText() : StampelFields::zeroTime());
    // Selected, so that what the operator types next replaces it.
    field->selectAll();
}

void StampelWindow::leaveTimeField(QLineEdit* field) {
    const QString normalized = StampelFields::normalizeTime(field->text());
    if (normalized != field->text()) field->setText(normalized);
}

void StampelWindow::leaveDateField() {
    const QString normalized =
        StampelFields::normalizeDate(m_startDate->text(), m_clock.now().date());
    if (normalized != m_startDate->text()) m_startDate->setText(normalized);
}

bool StampelWindow::eventFilter(QObject* watched, QEvent* event) {
    auto* field = qobject_cast<QLineEdit*>(watched);
    if (field == nullptr || field == m_channelName) {
        if (field == m_channelName && isEnterKey(event)) {
            m_startTime->setFocus(Qt::TabFocusReason);
            return true;
        }
        return QWidget::eventFilter(watched, event);
    }

    switch (event->type()) {
        case QEvent::FocusIn:
            // After the click that gave the focus has placed the cursor.
            QTimer::singleShot(0, field, &QLineEdit::selectAll);
            break;
        case QEvent::FocusOut:
            if (field == m_startDate)
                leaveDateField();
            else
                leaveTimeField(field);
            break;
        case QEvent::KeyPress:
            if (isEnterKey(event)) {
                if (field == m_startDate)
                    leaveDateField();
                else
                    leaveTimeField(field);
                QWidget* next = field == m_startTime  ? static_cast<QWidget*>(m_duration)
                                : field == m_duration ? static_cast<QWidget*>(m_startDate)
                                                      : static_cast<QWidget*>(m_startButton);
                next->setFocus(Qt::TabFocusReason);
                return true;
            }
            break;
        default:
            break;
    }
    return QWidget::eventFilter(watched, event);
}

void StampelWindow::startGeneration() {
    if (m_run->isRunning()) return;
    // A click on Start has already moved the focus and so run the leaving
    // checks; Start reached from the keyboard may not have.
    leaveTimeField(m_startTime);
    leaveTimeField(m_duration);
    leaveDateField();

    const qint32 durationSeconds = timeToSeconds(m_duration->text());
    if (durationSeconds == 0) {
        m_messages.showMessage(this, QMessageBox::Warning, windowTitle(),
                               QStringLiteral("A Hossz mező nem lehet 00:00:00 !"));
        return;
    }
    if (m_dialogFileName.isEmpty()) {
        m_messages.showMessage(this, QMessageBox::Warning, windowTitle(),
                               QStringLiteral("Nincs kijelölve a felvétel!"));
        return;
    }

    TimecodeRequest request;
    request.recordingPath = m_mediaFile->text();
    request.startSeconds = timeToSeconds(m_startTime->text());
    request.durationSeconds = durationSeconds;
    request.startDate =
        StampelFields::parseDate(m_startDate->text()).value_or(m_clock.now().date());
    request.channelName = m_channelName->text();

    m_progress->setRange(0, durationSeconds);
    m_progress->setValue(0);
    m_startButton->setEnabled(false);
    m_run->start(request);
}

void StampelWindow::showProgress(qint32 entriesWritten, qint32 /*entriesTotal*/) {
    // D + 1 entries against a maximum of D: the last step stays at the end.
    m_progress->setValue(qMin(entriesWritten, m_progress->maximum()));
}

void StampelWindow::finishGeneration(const TimecodeOutcome& outcome) {
    m_startButton->setEnabled(true);
    if (!outcome.succeeded()) {
        m_messages.showMessage(
            this, QMessageBox::Warning, windowTitle(),
            QString::number(outcome.errorNumber) + u' ' + outcome.errorDescription);
        return;
    }
    m_progress->setValue(m_progress->maximum());
    m_messages.showMessage(
        this, QMessageBox::NoIcon, windowTitle(),
        QStringLiteral("A timecode elkészült: ") + QFileInfo(outcome.subtitlePath).fileName());
}

}  // namespace kelm
