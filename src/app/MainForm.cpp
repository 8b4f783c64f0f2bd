#include "MainForm.h"

#include "LedMeter.h"
#include "Pictures.h"
#include "Toolbar.h"
#include "WaveformPicture.h"

#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMainWindow>
#include <QVBoxLayout>
#include <cmath>

namespace kelm {
namespace {

constexpr int kProgressScale = 100;

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

QTimer* formTimer(QObject* parent, const QString& name, int intervalMs) {
    auto* t = new QTimer(parent);
    t->setObjectName(name);
    t->setInterval(intervalMs);
    return t;
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

    // Video frame
    auto* video = new QGroupBox(central);
    auto* vg = new QGridLayout(video);
    vg->setVerticalSpacing(1);
    cboVideoSource = pickList(video, QStringLiteral("cboVideoSource"));
    cboVideoInput = pickList(video, QStringLiteral("cboVideoInput"));
    cboVideoInput->setEnabled(false);
    cboTVFormat = pickList(video, QStringLiteral("cboTVFormat"));
    cboPixelFormat = pickList(video, QStringLiteral("cboPixelFormat"));
    cboChannel = pickList(video, QStringLiteral("cboChannel"));
    cboTVType = pickList(video, QStringLiteral("cboTVType"));
    auto* sources = new QGridLayout;
    addLabelled(sources, 0, 0, QStringLiteral("Videó rögzítő eszköz:"), cboVideoSource);
    addLabelled(sources, 0, 1, QStringLiteral("Videó bemenet:"), cboVideoInput);
    vg->addLayout(sources, 0, 0, 1, 4);
    addLabelled(vg, 1, 0, QStringLiteral("Videoszabvány:"), cboTVFormat);
    addLabelled(vg, 1, 1, QStringLiteral("Képpont:"), cboPixelFormat);
    addLabelled(vg, 1, 2, QStringLiteral("Csatorna:"), cboChannel);
    addLabelled(vg, 1, 3, QStringLiteral("Jelforrás:"), cboTVType);
    frames->addWidget(video, 3);
    video->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);

    // Audio frame
    auto* audio = new QGroupBox(central);
    auto* ag = new QGridLayout(audio);
    ag->setVerticalSpacing(1);
    cboAudioSource = pickList(audio, QStringLiteral("cboAudioSource"),
                              QStringLiteral("Rögzítő hangkártya neve"));
    cboInput = pickList(audio, QStringLiteral("cboInput"), QStringLiteral("Bemenet"));
    cboDestLine = pickList(audio, QStringLiteral("cboDestLine"), QStringLiteral("Bemeneti jel"));
    cboDestLine->hide();
    List2 = new QListWidget(audio);
    List2->setObjectName(QStringLiteral("List2"));
    List2->hide();
    List3 = new QListWidget(audio);
    List3->setObjectName(QStringLiteral("List3"));
    List3->hide();
    Slider1 = new QSlider(Qt::Horizontal, audio);
    Slider1->setObjectName(QStringLiteral("Slider1"));
    Slider2 = new QSlider(Qt::Horizontal, audio);
    Slider2->setObjectName(QStringLiteral("Slider2"));
    LEDMeter1 = new LedMeter(audio);
    LEDMeter1->setObjectName(QStringLiteral("LEDMeter1"));
    addLabelled(ag, 0, 0, QStringLiteral("Hangrögzítő eszköz:"), cboAudioSource);
    addLabelled(ag, 0, 1, QStringLiteral("Bemenet:"), cboInput);
    ag->addWidget(Slider1, 2, 0);
    ag->addWidget(Slider2, 2, 1);
    ag->addWidget(LEDMeter1, 3, 0);
    auto* scopes = new QHBoxLayout;
    scopes->setSpacing(6);
    const QStringList scopeTips{QStringLiteral("Bal csatorna - kijelző"),
                                QStringLiteral("Jobb csatorna - kijelző")};
    for (int i = 0; i < 2; ++i) {
        auto* scope = new WaveformPicture(audio);
        scope->setObjectName(QStringLiteral("Scope(%1)").arg(i));
        scope->setToolTip(scopeTips.at(i));
        Scope.at(size_t(i)) = scope;
        scopes->addWidget(scope);
    }
    ag->addLayout(scopes, 3, 1);
    frames->addWidget(audio, 2);
    audio->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    LEDMeter1->setMaximumHeight(24);

    // Time fields and monitor zoom
    auto* times = new QGroupBox(central);
    auto* tg = new QGridLayout(times);
    tg->setVerticalSpacing(1);
    txtStartTime =
        timeField(times, QStringLiteral("txtStartTime"), QStringLiteral("Kódolás kezdeti ideje"));
    txtEnd = timeField(times, QStringLiteral("txtEnd"), QStringLiteral("Kódolás vége"));
    txtDuration =
        timeField(times, QStringLiteral("txtDuration"), QStringLiteral("Kódolás tartama"));
    addLabelled(tg, 0, 0, QStringLiteral("Kezdés:"), txtStartTime);
    addLabelled(tg, 0, 1, QStringLiteral("Vége:"), txtEnd);
    addLabelled(tg, 0, 2, QStringLiteral("Hossz:"), txtDuration);
    txtZoom = new QLineEdit(times);
    txtZoom->setObjectName(QStringLiteral("txtZoom"));
    txtZoom->setReadOnly(true);
    txtZoom->setMaximumWidth(60);
    VScroll1 = new QScrollBar(Qt::Vertical, times);
    VScroll1->setObjectName(QStringLiteral("VScroll1"));
    VScroll1->setMaximumHeight(24);
    auto* zoom = new QHBoxLayout;
    zoom->addWidget(txtZoom);
    zoom->addWidget(VScroll1);
    zoom->addStretch();
    tg->addLayout(zoom, 2, 0, 1, 3);
    frames->addWidget(times, 0);
    times->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);

    Text1 = new QPlainTextEdit(central);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setReadOnly(true);
    Text1->setMaximumBlockCount(0);
    outer->addWidget(Text1, 1);
    outer->addStretch(0);

    // Status bar with its eight panels, the progress bar and two small buttons
    StBar = window->statusBar();
    StBar->setObjectName(QStringLiteral("StBar"));
    StBar->setSizeGripEnabled(false);
    cmdPlay = new QPushButton(StBar);
    cmdPlay->setObjectName(QStringLiteral("cmdPlay"));
    cmdPlay->setIcon(Pictures::icon(QStringLiteral("bitmap101")));
    cmdPlay->setFlat(true);
    cmdPlay->setFocusPolicy(Qt::NoFocus);
    Command5 = new QPushButton(StBar);
    Command5->setObjectName(QStringLiteral("Command5"));
    Command5->setFlat(true);
    Command5->setFocusPolicy(Qt::NoFocus);
    StBar->addWidget(Command5);
    StBar->addWidget(cmdPlay);
    PrgBar1 = new QProgressBar(StBar);
    PrgBar1->setObjectName(QStringLiteral("PrgBar1"));
    PrgBar1->setTextVisible(false);
    PrgBar1->setMaximumWidth(120);
    PrgBar1->setMaximumHeight(14);
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
        auto* l = new QLabel(StBar);
        l->setObjectName(QString::fromLatin1(panelDefs[i].first));
        l->setToolTip(QString::fromUtf8(panelDefs[i].second));
        l->setFrameShape(QFrame::Panel);
        l->setFrameShadow(QFrame::Sunken);
        l->setMinimumWidth(i == stImage ? 24 : 60);
        panels[i] = l;
        if (i == stTimeBar) {
            StBar->addWidget(PrgBar1);
            l->hide();
            continue;  // the progress bar stands in this panel
        }
        StBar->addWidget(l);
    }

    Timer1 = formTimer(window, QStringLiteral("Timer1"), 200);
    Timer2 = formTimer(window, QStringLiteral("Timer2"), 300);
    preStartSub = formTimer(window, QStringLiteral("preStartSub"), 3000);
    startSub = formTimer(window, QStringLiteral("startSub"), 300);
    startPreviewSub = formTimer(window, QStringLiteral("startPreviewSub"), 300);
    TimerCopy = formTimer(window, QStringLiteral("TimerCopy"), 3000);
}

void MainForm::setProgressMaximum(double maximum) {
    progressMaximum = maximum;
    PrgBar1->setMaximum(int(std::lround(maximum * kProgressScale)));
}

void MainForm::setProgressValue(double value) {
    PrgBar1->setValue(int(std::lround(value * kProgressScale)));
}

double MainForm::progressValue() const {
    return double(PrgBar1->value()) / kProgressScale;
}

bool setListText(QComboBox* list, const QString& text, const std::function<void()>& onSelected) {
    const int index = list->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0) return false;
    const QSignalBlocker quiet(list);
    list->setCurrentIndex(index);
    if (onSelected) onSelected();
    return true;
}

}  // namespace kelm
