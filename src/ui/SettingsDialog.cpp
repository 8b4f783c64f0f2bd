#include "SettingsDialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace kelm {

namespace {

// "Video fájl|*.wmv" -> "Video fájl (*.wmv)", the file dialog's form.
QString dialogFilter(const QString& filter) {
    const QStringList parts = filter.split(u'|');
    return parts.size() == 2 ? parts.at(0) + QStringLiteral(" (") + parts.at(1) + u')' : filter;
}

QString defaultFileChooser(QWidget* parent, const QString& filter, const QString&,
                           const QString& initial) {
    return QFileDialog::getOpenFileName(parent, QString(), initial, dialogFilter(filter));
}

QString defaultFolderChooser(QWidget* parent, const QString& initial) {
    return QFileDialog::getExistingDirectory(parent, QString(), initial);
}

QLineEdit* addField(QGridLayout* grid, int row, const QString& label, const QString& name,
                    const QString& tip) {
    auto* box = new QLineEdit;
    box->setObjectName(name);
    box->setToolTip(tip);
    auto* caption = new QLabel(label);
    caption->setBuddy(box);
    grid->addWidget(caption, row, 0);
    grid->addWidget(box, row, 1);
    return box;
}

QPushButton* addBrowse(QGridLayout* grid, int row, const QString& name) {
    auto* button = new QPushButton(QStringLiteral("Böngésző"));
    button->setObjectName(name);
    button->setAutoDefault(false);
    grid->addWidget(button, row, 2);
    return button;
}

}  // namespace

SettingsDialog::SettingsDialog(QWidget* parent)
    : QDialog(parent), m_chooseFile(defaultFileChooser), m_chooseFolder(defaultFolderChooser) {
    setObjectName(QStringLiteral("settingsDialog"));
    setWindowTitle(QStringLiteral("KELM.ini - Beállítások"));
    setModal(false);

    auto* grid = new QGridLayout;
    txtCsatName = addField(grid, 0, QStringLiteral("Müsorszolgáltató neve:"),
                           QStringLiteral("txtCsatName"), QString());
    txtCsatName->setText(QStringLiteral("Teszt Rádió 99,9 Mhz"));
    txtChannelShortName =
        addField(grid, 1, QStringLiteral("Rövid neve:"), QStringLiteral("txtChannelShortName"),
                 QStringLiteral("Ajánlott 8 karakter hosszú és ékezetek nélkül"));
    txtChannelShortName->setText(QStringLiteral("teszt"));
    txtVideo = addField(grid, 2, QStringLiteral("Encoder videó fájl:"), QStringLiteral("txtVideo"),
                        QStringLiteral("Felvétel háttérkép fájl"));
    cmdVideo = addBrowse(grid, 2, QStringLiteral("cmdVideo"));
    txtMPlayer = addField(grid, 3, QStringLiteral("Média lejátszó:"), QStringLiteral("txtMPlayer"),
                          QStringLiteral("Lejátszó a rögzítés ellenőrzéséhez"));
    cmdMPlyer = addBrowse(grid, 3, QStringLiteral("cmdMPlyer"));
    txtMedia = addField(grid, 4, QStringLiteral("Média mappa:"), QStringLiteral("txtMedia"),
                        QStringLiteral("Felvételek helye..."));
    cmdMedia = addBrowse(grid, 4, QStringLiteral("dirMedia"));
    cmdMedia->setToolTip(QStringLiteral("Mappák"));
    chkTimecode = new QCheckBox(QStringLiteral("Timecode készítés"));
    chkTimecode->setObjectName(QStringLiteral("chkTimecode"));
    grid->addWidget(chkTimecode, 5, 1);
    keepDays = new QSpinBox;
    keepDays->setObjectName(QStringLiteral("keepDays"));
    keepDays->setRange(0, 36500);
    keepDays->setSpecialValueText(QStringLiteral("mind megmarad"));
    keepDays->setToolTip(
        QStringLiteral("A csatorna ennél régebbi felvételei törlődnek; 0: mind megmarad"));
    auto* keepCaption = new QLabel(QStringLiteral("Felvételek megőrzése (nap):"));
    keepCaption->setBuddy(keepDays);
    grid->addWidget(keepCaption, 6, 0);
    grid->addWidget(keepDays, 6, 1, Qt::AlignLeft);
    grid->setColumnMinimumWidth(1, 320);

    notice = new QLabel(QStringLiteral("Figyelem: "));
    notice->setObjectName(QStringLiteral("notice"));
    notice->setWordWrap(true);

    auto* frame = new QGroupBox;
    frame->setObjectName(QStringLiteral("settingsFrame"));
    help = new QPlainTextEdit;
    help->setObjectName(QStringLiteral("help"));
    help->setReadOnly(true);
    help->setPlainText(
        QStringLiteral("KELM - műsorrögzítő egy műsorszolgáltató TV- vagy rádiócsatornájához\n"
                       "Készítette: a KELM fejlesztői, 2026\n"
                       "Kapcsolat: kelm@example.org"));
    help->setFixedHeight(help->fontMetrics().lineSpacing() * 4 + 8);
    auto* frameLayout = new QVBoxLayout(frame);
    frameLayout->addWidget(help);

    cmdSave = new QPushButton(QStringLiteral("&OK"));
    cmdSave->setObjectName(QStringLiteral("cmdSave"));
    cmdSave->setToolTip(QStringLiteral("Mentés és ablak bezárása"));
    cmdSave->setDefault(true);
    cmdExit = new QPushButton(QStringLiteral("&Mégse"));
    cmdExit->setObjectName(QStringLiteral("cmdExit"));
    cmdExit->setToolTip(QStringLiteral("Mentés nélküli kilépés"));
    cmdExit->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(notice, 1);
    buttons->addWidget(cmdSave);
    buttons->addWidget(cmdExit);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(frame);
    layout->addLayout(buttons);

    connect(chkTimecode, &QCheckBox::clicked, this,
            [this](bool checked) { Q_EMIT timecodeClicked(checked); });
    connect(cmdVideo, &QPushButton::clicked, this, [this] {
        browseFile(txtVideo, QStringLiteral("Video fájl|*.wmv"), QStringLiteral("wmv"));
    });
    connect(cmdMPlyer, &QPushButton::clicked, this, [this] {
        // A Linux program has no extension to filter on.
        browseFile(txtMPlayer, QStringLiteral("Média lejátszó|*"), QString(),
                   QStringLiteral("/usr/bin/"));
    });
    connect(cmdMedia, &QPushButton::clicked, this, [this] { browseFolder(); });
    connect(cmdSave, &QPushButton::clicked, this, [this] { Q_EMIT saveRequested(); });
    connect(cmdExit, &QPushButton::clicked, this, [this] { Q_EMIT closeRequested(false); });
}

void SettingsDialog::load(const Settings& settings) {
    txtCsatName->setText(settings.channelName);
    txtChannelShortName->setText(settings.channelShortName);
    txtVideo->setText(settings.encVideo);
    txtMPlayer->setText(settings.fileMPlayer);
    chkTimecode->setChecked(settings.makeTimecode != 0);
    txtMedia->setText(settings.mediaDir);
    keepDays->setValue(settings.keepDays);
    notice->setText(QStringLiteral("A beállítások, az összes futó KELM alkalmazásra érvényesek!"));
}

Settings SettingsDialog::edited() const {
    Settings s;
    s.channelName = txtCsatName->text();
    s.channelShortName = txtChannelShortName->text();
    s.encVideo = txtVideo->text();
    s.fileMPlayer = txtMPlayer->text();
    s.makeTimecode = chkTimecode->isChecked() ? 1 : 0;
    s.mediaDir = txtMedia->text();
    s.keepDays = keepDays->value();
    return s;
}

void SettingsDialog::browseFile(QLineEdit* box, const QString& filter, const QString& suffix,
                                const QString& startWhenEmpty) {
    const QString start = startWhenEmpty.isEmpty() ? filter.section(u'|', 1) : startWhenEmpty;
    const QString initial = box->text().isEmpty() ? start : box->text();
    const QString chosen = m_chooseFile(this, filter, suffix, initial);
    // A cancelled choice leaves the box as it was: the pattern "*.wmv" is no
    // file name and must not land in the settings.
    if (!chosen.isEmpty()) box->setText(chosen);
}

void SettingsDialog::browseFolder() {
    const QString chosen = m_chooseFolder(this, txtMedia->text());
    if (!chosen.isEmpty()) txtMedia->setText(QDir::cleanPath(chosen));
}

void SettingsDialog::closeEvent(QCloseEvent* event) {
    event->ignore();  // the owner hides the dialog
    Q_EMIT closeRequested(true);
}

void SettingsDialog::reject() {
    Q_EMIT closeRequested(false);
}

}  // namespace kelm
