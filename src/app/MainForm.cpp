#include "MainForm.h"

#include "LedMeter.h"
#include "Pictures.h"
#include "Toolbar.h"
#include "WaveformPicture.h"

#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QStatusBar>
#include <QVBoxLayout>

namespace kelm {
namespace {

QComboBox* pickList(QWidget* parent, const QString& name, const QString& toolTip = {}) {
    auto* c = new QComboBox(parent);
    c->setObjectName(name);
    c->setEditable(false);
    c->setToolTip(toolTip);
    c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    c->setMinimumContentsLength(8);
    return c;
}

QLineEdit* timeField(QWidget* parent, const QString& name, const QString& toolTip) {
    auto* e = new QLineEdit(QStringLiteral("00:00:00"), parent);
    e->setObjectName(name);
    e->setToolTip(toolTip);
    // Room for "00:00:00" and the frame.
    e->setMinimumWidth(e->fontMetrics().horizontalAdvance(QStringLiteral("00:00:00")) + 16);
    e->setMaximumWidth(e->minimumWidth() + 10);
    e->setAlignment(Qt::AlignCenter);
    return e;
}

void addLabelled(QGridLayout* grid, int row, int column, const QString& label, QWidget* w) {
    grid->addWidget(new QLabel(label), row, column);
    grid->addWidget(w, row + 1, column);
}

}  // namespace

MainForm::MainForm(QMainWindow* window) {
    toolbar = new Toolbar(window);
    auto* central = new QWidget(window);
    window->setCentralWidget(central);
    auto* outer = new QVBoxLayout(central);
    outer->setContentsMargins(4, 2, 4, 2);
    outer->setSpacing(2);
    auto* frames = new QHBoxLayout;
    outer->addLayout(frames);

    layoutVideoFrame(central, frames);
    layoutAudioFrame(central, frames);
    layoutTimeFrame(central, frames);
    logPanel.box = new QPlainTextEdit(central);
    logPanel.box->setObjectName(QStringLiteral("logBox"));
    logPanel.box->setReadOnly(true);
    logPanel.box->setMaximumBlockCount(0);
    outer->addWidget(logPanel.box, 1);
    outer->addStretch(0);

    layoutStatusBar(window);
}

void MainForm::layoutVideoFrame(QWidget* central, QHBoxLayout* frames) {
    // Video frame
    auto* video = new QGroupBox(central);
    auto* vg = new QGridLayout(video);
    vg->setVerticalSpacing(1);
    sources.videoSource = pickList(video, QStringLiteral("videoSource"));
    sources.videoInput = pickList(video, QStringLiteral("videoInput"));
    sources.videoInput->setEnabled(false);
    sources.tvStandard = pickList(video, QStringLiteral("tvStandard"));
    sources.pixelFormat = pickList(video, QStringLiteral("pixelFormat"));
    sources.channel = pickList(video, QStringLiteral("channel"));
    sources.tunerType = pickList(video, QStringLiteral("tunerType"));
    auto* sourceRow = new QGridLayout;
    addLabelled(sourceRow, 0, 0, QStringLiteral("Videó rögzítő eszköz:"), sources.videoSource);
    addLabelled(sourceRow, 0, 1, QStringLiteral("Videó bemenet:"), sources.videoInput);
    vg->addLayout(sourceRow, 0, 0, 1, 4);
    addLabelled(vg, 1, 0, QStringLiteral("Videoszabvány:"), sources.tvStandard);
    addLabelled(vg, 1, 1, QStringLiteral("Képpont:"), sources.pixelFormat);
    addLabelled(vg, 1, 2, QStringLiteral("Csatorna:"), sources.channel);
    addLabelled(vg, 1, 3, QStringLiteral("Jelforrás:"), sources.tunerType);
    frames->addWidget(video, 3);
    video->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
}

void MainForm::layoutAudioFrame(QWidget* central, QHBoxLayout* frames) {
    // Audio frame
    auto* audio = new QGroupBox(central);
    auto* ag = new QGridLayout(audio);
    ag->setVerticalSpacing(1);
    sources.audioSource =
        pickList(audio, QStringLiteral("audioSource"), QStringLiteral("Rögzítő hangkártya neve"));
    sources.audioInput = pickList(audio, QStringLiteral("audioInput"), QStringLiteral("Bemenet"));
    mixerLines.destinationLine =
        pickList(audio, QStringLiteral("destinationLine"), QStringLiteral("Bemeneti jel"));
    mixerLines.destinationLine->hide();
    mixerLines.sourceLines = new QListWidget(audio);
    mixerLines.sourceLines->setObjectName(QStringLiteral("sourceLines"));
    mixerLines.sourceLines->hide();
    mixerLines.destinationLines = new QListWidget(audio);
    mixerLines.destinationLines->setObjectName(QStringLiteral("destinationLines"));
    mixerLines.destinationLines->hide();
    mixerLines.sourceVolume = new QSlider(Qt::Horizontal, audio);
    mixerLines.sourceVolume->setObjectName(QStringLiteral("sourceVolume"));
    mixerLines.destinationVolume = new QSlider(Qt::Horizontal, audio);
    mixerLines.destinationVolume->setObjectName(QStringLiteral("destinationVolume"));
    levels.meter = new LedMeter(audio);
    levels.meter->setObjectName(QStringLiteral("levelMeter"));
    addLabelled(ag, 0, 0, QStringLiteral("Hangrögzítő eszköz:"), sources.audioSource);
    addLabelled(ag, 0, 1, QStringLiteral("Bemenet:"), sources.audioInput);
    ag->addWidget(mixerLines.sourceVolume, 2, 0);
    ag->addWidget(mixerLines.destinationVolume, 2, 1);
    ag->addWidget(levels.meter, 3, 0);
    auto* scopes = new QHBoxLayout;
    scopes->setSpacing(6);
    const QStringList scopeTips{QStringLiteral("Bal csatorna - kijelző"),
                                QStringLiteral("Jobb csatorna - kijelző")};
    for (int i = 0; i < 2; ++i) {
        auto* scope = new WaveformPicture(audio);
        scope->setObjectName(QStringLiteral("waveform(%1)").arg(i));
        scope->setToolTip(scopeTips.at(i));
        levels.waveforms.at(size_t(i)) = scope;
        scopes->addWidget(scope);
    }
    ag->addLayout(scopes, 3, 1);
    frames->addWidget(audio, 2);
    audio->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    levels.meter->setMaximumHeight(24);
}

void MainForm::layoutTimeFrame(QWidget* central, QHBoxLayout* frames) {
    // Time fields and monitor zoom
    auto* timeFrame = new QGroupBox(central);
    auto* tg = new QGridLayout(timeFrame);
    tg->setVerticalSpacing(1);
    times.start =
        timeField(timeFrame, QStringLiteral("startTime"), QStringLiteral("Kódolás kezdeti ideje"));
    times.end = timeField(timeFrame, QStringLiteral("endTime"), QStringLiteral("Kódolás vége"));
    times.duration =
        timeField(timeFrame, QStringLiteral("duration"), QStringLiteral("Kódolás tartama"));
    addLabelled(tg, 0, 0, QStringLiteral("Kezdés:"), times.start);
    addLabelled(tg, 0, 1, QStringLiteral("Vége:"), times.end);
    addLabelled(tg, 0, 2, QStringLiteral("Hossz:"), times.duration);
    zoom.text = new QLineEdit(timeFrame);
    zoom.text->setObjectName(QStringLiteral("zoomText"));
    zoom.text->setReadOnly(true);
    zoom.text->setMaximumWidth(60);
    zoom.bar = new QScrollBar(Qt::Vertical, timeFrame);
    zoom.bar->setObjectName(QStringLiteral("zoomBar"));
    zoom.bar->setMaximumHeight(24);
    auto* zoomRow = new QHBoxLayout;
    zoomRow->addWidget(zoom.text);
    zoomRow->addWidget(zoom.bar);
    zoomRow->addStretch();
    tg->addLayout(zoomRow, 2, 0, 1, 3);
    frames->addWidget(timeFrame, 0);
    timeFrame->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
}

void MainForm::layoutStatusBar(QMainWindow* window) {
    // Status bar with its eight panels, the progress bar and two small buttons
    statusBar.bar = window->statusBar();
    statusBar.bar->setObjectName(QStringLiteral("statusBar"));
    statusBar.bar->setSizeGripEnabled(false);
    playPreview = new QPushButton(statusBar.bar);
    playPreview->setObjectName(QStringLiteral("playPreview"));
    playPreview->setIcon(Pictures::icon(QStringLiteral("bitmap101")));
    playPreview->setFlat(true);
    playPreview->setFocusPolicy(Qt::NoFocus);
    logPanel.toggle = new QPushButton(statusBar.bar);
    logPanel.toggle->setObjectName(QStringLiteral("logPanelToggle"));
    logPanel.toggle->setFlat(true);
    logPanel.toggle->setFocusPolicy(Qt::NoFocus);
    statusBar.bar->addWidget(logPanel.toggle);
    statusBar.bar->addWidget(playPreview);
    statusBar.progress = new QProgressBar(statusBar.bar);
    statusBar.progress->setObjectName(QStringLiteral("progressBar"));
    statusBar.progress->setTextVisible(false);
    statusBar.progress->setMaximumWidth(120);
    statusBar.progress->setMaximumHeight(14);
    const std::array<std::pair<const char*, const char*>, 8> panelDefs{{
        {"stFile", "Fájl mérete"},
        {"stAudioBitrate", "Audio bitráta"},
        {"stAllBitrate", "Felvétel bitrátája"},
        {"stEncodedTime", "Kódolási idő"},
        {"stImage", "Nincs felvétel"},
        {"stTimeBar", "Kódolási idő"},
        {"stDate", "Dátum"},
        {"stTime", "Idő"},
    }};
    for (size_t i = 0; i < panelDefs.size(); ++i) {
        auto* l = new QLabel(statusBar.bar);
        l->setObjectName(QString::fromLatin1(panelDefs[i].first));
        l->setToolTip(QString::fromUtf8(panelDefs[i].second));
        l->setFrameShape(QFrame::Panel);
        l->setFrameShadow(QFrame::Sunken);
        l->setMinimumWidth(i == StatusBarWidgets::stImage ? 24 : 60);
        statusBar.panels[i] = l;
        if (i == StatusBarWidgets::stTimeBar) {
            statusBar.bar->addWidget(statusBar.progress);
            l->hide();
            continue;  // the progress bar stands in this panel
        }
        statusBar.bar->addWidget(l);
        if (i == StatusBarWidgets::stImage) {
            statusBar.signalAlarm = new QLabel(statusBar.bar);
            statusBar.signalAlarm->setObjectName(QStringLiteral("stSignalAlarm"));
            statusBar.signalAlarm->setStyleSheet(
                QStringLiteral("QLabel { background: #c00000; color: white; font-weight: bold; "
                               "padding: 0 4px; }"));
            statusBar.signalAlarm->hide();
            statusBar.bar->addWidget(statusBar.signalAlarm);
        }
    }
}

}  // namespace kelm
