#pragma once

#include <QObject>
#include <memory>

class QMainWindow;

namespace kelm {

class SettingsDialog;
struct RecorderContext;

// Opens the settings dialog over the main window and does what its buttons
// ask: checks the short name, writes "kelm.ini" (through a temporary file and
// a rename), sets the main window's fields and title, and logs the save.
// The dialog is hidden, not destroyed, after OK or Cancel, so unsaved edits
// stay for the next opening; after the close box it is loaded again from the
// fields.
class SettingsControl final : public QObject {
    Q_OBJECT
public:
    static QString shortNameMessage();

    SettingsControl(QMainWindow& main, RecorderContext& ctx);
    ~SettingsControl() override;

    void openSettings();
    // The timecode check box as the live subtitle watcher reads it: loads the
    // dialog (hidden) from the fields when it is not loaded.
    bool timecodeChecked();
    // The dialog, loaded on first use.
    SettingsDialog& dialog();
    bool isLoaded() const { return m_dialog != nullptr; }

private:
    void save();
    void closeDialog(bool byCloseBox);
    void applyTimecode();

    QMainWindow& m_main;
    RecorderContext& m_ctx;
    std::unique_ptr<SettingsDialog> m_dialog;
};

}  // namespace kelm
