#include "SettingsControl.h"

#include "Messenger.h"
#include "RecorderContext.h"
#include "SettingsDialog.h"
#include "recorder/EventLog.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QMainWindow>
#include <QTimer>

namespace kelm {

namespace {
constexpr int kOffsetPx = 300 / 15;  // 300 twips right of and below the main window
}

QString SettingsControl::shortNameMessage() {
    return QStringLiteral(
               "A rövid név maximális hossza 8 karakter és ne tartalmazza a következőket:  \\ / : "
               "* ? ") +
           u'"' + QStringLiteral(" < > |");
}

SettingsControl::SettingsControl(QMainWindow& main, RecorderContext& ctx)
    : m_main(main), m_ctx(ctx) {}

SettingsControl::~SettingsControl() = default;

SettingsDialog& SettingsControl::dialog() {
    if (!m_dialog) {
        m_dialog = std::make_unique<SettingsDialog>(&m_main);
        // Window-modal: the main window takes no input while the dialog is
        // shown, yet message boxes over it stay usable.
        m_dialog->setWindowModality(Qt::WindowModal);
        m_dialog->load(m_ctx.state.settings);
        connect(m_dialog.get(), &SettingsDialog::saveRequested, this, &SettingsControl::save);
        connect(m_dialog.get(), &SettingsDialog::closeRequested, this,
                &SettingsControl::closeDialog);
        connect(m_dialog.get(), &SettingsDialog::timecodeClicked, this,
                &SettingsControl::applyTimecode);
    }
    return *m_dialog;
}

void SettingsControl::openSettings() {
    SettingsDialog& d = dialog();
    const QRect main = m_main.frameGeometry();
    d.move(main.x() + kOffsetPx, main.y() + kOffsetPx);
    applyTimecode();
    d.show();
    d.raise();
    d.activateWindow();
}

bool SettingsControl::timecodeChecked() {
    return dialog().chkTimecode->isChecked();
}

// The check box acts at once, before any saving: timecode watching follows it
// for the running program even when the dialog is cancelled.
void SettingsControl::applyTimecode() {
    m_ctx.state.settings.makeTimecode = dialog().chkTimecode->isChecked() ? 1 : 0;
}

void SettingsControl::save() {
    SettingsDialog& d = dialog();
    if (!SettingsFile::isValidShortName(d.edited().channelShortName)) {
        m_ctx.messenger.show(shortNameMessage(), Messenger::Icon::Warning);
        d.txtChannelShortName->setFocus();
        return;
    }
    // Written as it will be read back, so that this run and the next use the
    // same media folder, whatever the working folder.
    const Settings edited = SettingsFile::resolved(m_ctx.state.programDir, d.edited());
    if (!SettingsFile::write(m_ctx.state.programDir, edited)) {
        // Nothing is changed in memory either, so what runs matches the file.
        const QString text = QStringLiteral("A beállítások nem menthetők: ") + m_ctx.state.iniFile;
        m_ctx.log.logEvent(text);
        m_ctx.messenger.show(text, Messenger::Icon::Critical);
        return;
    }
    m_ctx.state.settings = edited;
    d.load(edited);  // the boxes show the folder and picture file in use
    m_ctx.log.logEvent(QStringLiteral("Beállítások mentése: ") + m_ctx.state.iniFile);
    d.hide();
    if (!edited.channelName.isEmpty()) m_ctx.setCaption(edited.channelName);
    m_main.show();
    m_main.activateWindow();
}

void SettingsControl::closeDialog(bool byCloseBox) {
    if (!m_dialog) return;
    m_dialog->hide();
    m_main.show();
    m_main.activateWindow();
    if (byCloseBox) {
        // Unloaded: the next use reads the fields again. Deleted later, as
        // the dialog is still inside its own close event.
        m_dialog.release()->deleteLater();
    }
}

}  // namespace kelm
