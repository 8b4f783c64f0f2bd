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
    m_text4->setText(todayText());
}

StampelWindow::~StampelWindow() = default;

void StampelWindow::buildControls() {
    m_txtMedia = lineEdit(QStringLiteral("txtMedia"), this);
    // The path comes from the open dialog only, so the file generated for is
    // always the file chosen.
    m_txtMedia->setReadOnly(true);
    m_command1 = new QPushButton(QStringLiteral("Megnyítás..."), this);
    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command1->setAutoDefault(true);

    m_frame1 = new QGroupBox(this);
    m_frame1->setObjectName(QStringLiteral("Frame1"));
    m_label2 = label(QStringLiteral("Label2"), QStringLiteral("Csatorna neve:"), m_frame1);
    m_text1 = lineEdit(QStringLiteral("Text1"), m_frame1);
    m_label3 = label(QStringLiteral("Label3"), QStringLiteral("Kezdési idő:"), m_frame1);
    m_text2 = lineEdit(QStringLiteral("Text2"), m_frame1);
    m_text2->setText(StampelFields::zeroTime());
    m_label4 = label(QStringLiteral("Label4"), QStringLiteral("Hossz:"), m_frame1);
    m_text3 = lineEdit(QStringLiteral("Text3"), m_frame1);
    m_text3->setText(StampelFields::zeroTime());
    m_label5 = label(QStringLiteral("Label5"), QStringLiteral("Kezdési dátum:"), m_frame1);
    m_text4 = lineEdit(QStringLiteral("Text4"), m_frame1);

    const int fieldWidth =
        m_text2->fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00")) + 24;
    for (QLineEdit* field : {m_text2, m_text3, m_text4}) field->setFixedWidth(fieldWidth);
    m_label2->setBuddy(m_text1);
    m_label3->setBuddy(m_text2);
    m_label4->setBuddy(m_text3);
    m_label5->setBuddy(m_text4);

    auto* fields = new QFormLayout(m_frame1);
    fields->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    fields->addRow(m_label2, m_text1);
    fields->addRow(m_label3, m_text2);
    fields->addRow(m_label4, m_text3);
    fields->addRow(m_label5, m_text4);

    m_command2 = new QPushButton(QStringLiteral("Start"), this);
    m_command2->setObjectName(QStringLiteral("Command2"));
    m_command2->setAutoDefault(true);
    m_prgBar1 = new QProgressBar(this);
    m_prgBar1->setObjectName(QStringLiteral("PrgBar1"));
    m_prgBar1->setRange(0, 1);
    m_prgBar1->setValue(0);
    m_prgBar1->setTextVisible(false);

    m_label1 =
        label(QStringLiteral("Label1"), QStringLiteral("Készítette: a KELM fejlesztői"), this);
    QFont small = m_label1->font();
    small.setPointSizeF(small.pointSizeF() * 0.8);
    m_label1->setFont(small);
    m_label1->setEnabled(false);

    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(m_txtMedia, 1);
    fileRow->addWidget(m_command1);
    auto* startRow = new QHBoxLayout;
    startRow->addWidget(m_prgBar1, 1);
    startRow->addWidget(m_command2);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fileRow);
    layout->addWidget(m_frame1);
    layout->addLayout(startRow);
    layout->addWidget(m_label1);

    setTabOrder(m_txtMedia, m_command1);
    setTabOrder(m_command1, m_text1);
    setTabOrder(m_text1, m_text2);
    setTabOrder(m_text2, m_text3);
    setTabOrder(m_text3, m_text4);
    setTabOrder(m_text4, m_command2);
    setMinimumWidth(420);
}

void StampelWindow::connectControls() {
    connect(m_command1, &QPushButton::clicked, this, &StampelWindow::chooseRecording);
    connect(m_command2, &QPushButton::clicked, this, &StampelWindow::startGeneration);
    connect(m_run, &TimecodeRun::progressed, this, &StampelWindow::showProgress);
    connect(m_run, &TimecodeRun::finished, this, &StampelWindow::finishGeneration);
    for (QLineEdit* field : {m_text1, m_text2, m_text3, m_text4}) field->installEventFilter(this);
    for (QLineEdit* field : {m_text2, m_text3, m_text4}) {
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
    m_txtMedia->setText(path);
    m_txtMedia->setToolTip(path);
    m_mediaFileName = StampelFields::fileNameOf(path);

    const StampelFields fields = StampelFields::fromRecordingPath(path, m_clock.now().date());
    m_text1->setText(fields.channelName);
    m_text2->setText(fields.startTime);
    m_text3->setText(fields.duration);
    m_text4->setText(fields.startDate);
    m_prgBar1->setValue(0);
}

void StampelWindow::refillWhenEmptied(QLineEdit* field, const QString& text) {
    if (!text.isEmpty()) return;
    field->setText(field == m_text4 ? todayText() : StampelFields::zeroTime());
    // Selected, so that what the operator types next replaces it.
    field->selectAll();
}

void StampelWindow::leaveTimeField(QLineEdit* field) {
    const QString normalized = StampelFields::normalizeTime(field->text());
    if (normalized != field->text()) field->setText(normalized);
}

void StampelWindow::leaveDateField() {
    const QString normalized = StampelFields::normalizeDate(m_text4->text(), m_clock.now().date());
    if (normalized != m_text4->text()) m_text4->setText(normalized);
}

bool StampelWindow::eventFilter(QObject* watched, QEvent* event) {
    auto* field = qobject_cast<QLineEdit*>(watched);
    if (field == nullptr || field == m_text1) {
        if (field == m_text1 && isEnterKey(event)) {
            m_text2->setFocus(Qt::TabFocusReason);
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
            if (field == m_text4)
                leaveDateField();
            else
                leaveTimeField(field);
            break;
        case QEvent::KeyPress:
            if (isEnterKey(event)) {
                if (field == m_text4)
                    leaveDateField();
                else
                    leaveTimeField(field);
                QWidget* next = field == m_text2   ? static_cast<QWidget*>(m_text3)
                                : field == m_text3 ? static_cast<QWidget*>(m_text4)
                                                   : static_cast<QWidget*>(m_command2);
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
    leaveTimeField(m_text2);
    leaveTimeField(m_text3);
    leaveDateField();

    const qint32 durationSeconds = timeToSeconds(m_text3->text());
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
    request.recordingPath = m_txtMedia->text();
    request.startSeconds = timeToSeconds(m_text2->text());
    request.durationSeconds = durationSeconds;
    request.startDate = StampelFields::parseDate(m_text4->text()).value_or(m_clock.now().date());
    request.channelName = m_text1->text();

    m_prgBar1->setRange(0, durationSeconds);
    m_prgBar1->setValue(0);
    m_command2->setEnabled(false);
    m_run->start(request);
}

void StampelWindow::showProgress(qint32 entriesWritten, qint32 /*entriesTotal*/) {
    // D + 1 entries against a maximum of D: the last step stays at the end.
    m_prgBar1->setValue(qMin(entriesWritten, m_prgBar1->maximum()));
}

void StampelWindow::finishGeneration(const TimecodeOutcome& outcome) {
    m_command2->setEnabled(true);
    if (!outcome.succeeded()) {
        m_messages.showMessage(
            this, QMessageBox::Warning, windowTitle(),
            QString::number(outcome.errorNumber) + u' ' + outcome.errorDescription);
        return;
    }
    m_prgBar1->setValue(m_prgBar1->maximum());
    m_messages.showMessage(
        this, QMessageBox::NoIcon, windowTitle(),
        QStringLiteral("A timecode elkészült: ") + QFileInfo(outcome.subtitlePath).fileName());
}

}  // namespace kelm
