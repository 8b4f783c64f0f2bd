#pragma once

#include "recorder/Settings.h"

#include <QDialog>
#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

namespace kelm {

// The settings dialog "KELM.ini - Beállítások": the channel settings. It
// only shows and edits them; checking, saving and what the main window does
// around it belong to its owner (SettingsControl), which listens to the
// signals. GUI thread only.
class SettingsDialog final : public QDialog {
    Q_OBJECT
public:
    // Asks for a file: (parent, filter "Video fájl|*.wmv" style, default
    // suffix, the name to start from). Returns the chosen path, or an empty
    // text when cancelled.
    using FileChooser =
        std::function<QString(QWidget*, const QString&, const QString&, const QString&)>;
    // Asks for a folder, starting from the given one; empty when cancelled.
    using FolderChooser = std::function<QString(QWidget*, const QString&)>;

    explicit SettingsDialog(QWidget* parent = nullptr);

    // Fills the controls from the fields (the dialog's load).
    void load(const Settings& settings);
    // The values as the controls hold them now.
    Settings edited() const;

    void setFileChooser(FileChooser chooser) { m_chooseFile = std::move(chooser); }
    void setFolderChooser(FolderChooser chooser) { m_chooseFolder = std::move(chooser); }

    QLineEdit* txtCsatName = nullptr;
    QLineEdit* txtChannelShortName = nullptr;
    QLineEdit* txtVideo = nullptr;
    QPushButton* cmdVideo = nullptr;
    QLineEdit* txtMPlayer = nullptr;
    QPushButton* cmdMPlyer = nullptr;
    QCheckBox* chkTimecode = nullptr;
    QLineEdit* txtMedia = nullptr;
    QPushButton* cmdMedia = nullptr;
    QSpinBox* keepDays = nullptr;  // 0: recordings are kept forever
    QLabel* notice = nullptr;
    QPlainTextEdit* help = nullptr;
    QPushButton* cmdSave = nullptr;
    QPushButton* cmdExit = nullptr;

Q_SIGNALS:
    void saveRequested();
    // Cancel, Escape or the close box: the owner hides the dialog and enables
    // the main window. `byCloseBox` is true for the close box, after which the
    // next opening loads the fields again.
    void closeRequested(bool byCloseBox);
    void timecodeClicked(bool checked);

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    // Starts from the box's file, or when it is empty from `startWhenEmpty`
    // (the filter's pattern when that is empty too).
    void browseFile(QLineEdit* box, const QString& filter, const QString& suffix,
                    const QString& startWhenEmpty = QString());
    void browseFolder();

    FileChooser m_chooseFile;
    FolderChooser m_chooseFolder;
};

}  // namespace kelm
