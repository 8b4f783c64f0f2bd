#include "AboutWindow.h"

#include "Pictures.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace kelm {

QStringList systemInfoViewers() {
    return {QStringLiteral("hardinfo"), QStringLiteral("hardinfo2"), QStringLiteral("kinfocenter"),
            QStringLiteral("gnome-system-monitor")};
}

QString findSystemInfoViewer(const std::function<QString(const QString&)>& findOnPath) {
    for (const QString& name : systemInfoViewers()) {
        const QString path = findOnPath(name);
        if (!path.isEmpty()) return path;
    }
    return {};
}

namespace {
QFrame* separatorLine() {
    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}
}  // namespace

AboutWindow::AboutWindow(const QString& version, const QString& channelCaption, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("frmAbout"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(QStringLiteral("Névjegy - ") + QStringLiteral("KELM"));
    if (parent) setWindowIcon(parent->windowIcon());

    m_sysInfo.findOnPath = [](const QString& name) { return QStandardPaths::findExecutable(name); };
    m_sysInfo.start = [](const QString& program) { return QProcess::startDetached(program, {}); };
    m_sysInfo.unavailable = [this](const QString& text) {
        QMessageBox box(QMessageBox::NoIcon, windowTitle(), text, QMessageBox::Ok, this);
        box.exec();
    };

    auto* picIcon = new QLabel;
    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setPixmap(Pictures::icon(QStringLiteral("appLogo")).pixmap(64, 64));
    picIcon->setAlignment(Qt::AlignTop);

    lblTitle = new QLabel(QStringLiteral("KELM"));
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    QFont titleFont = lblTitle->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.6);
    titleFont.setBold(true);
    lblTitle->setFont(titleFont);
    lblVersion = new QLabel(QStringLiteral("Verzió: ") + version);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    lblDescription =
        new QLabel(QStringLiteral("Műsorrögzítő TV- és rádiócsatornákhoz, Windows Media fájlokba"));
    lblDescription->setObjectName(QStringLiteral("lblDescription"));
    lblDescription->setWordWrap(true);
    lblChannel = new QLabel(channelCaption);
    lblChannel->setObjectName(QStringLiteral("lblChannel"));
    lblDisclaimer = new QLabel(QStringList{
        QStringLiteral("Freeware"), QString(), QStringLiteral("Készítette: a KELM fejlesztői"),
        QStringLiteral("Kapcsolat: kelm@example.org"), QStringLiteral("KELM fejlesztői, 2026")}
                                   .join(u'\n'));
    lblDisclaimer->setObjectName(QStringLiteral("lblDisclaimer"));

    cmdOK = new QPushButton(QStringLiteral("OK"));
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdSysInfo = new QPushButton(QStringLiteral("&Rendszerinformáció"));
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    cmdSysInfo->setAutoDefault(false);

    auto* texts = new QVBoxLayout;
    texts->addWidget(lblTitle);
    texts->addWidget(lblVersion);
    texts->addWidget(lblDescription);
    texts->addWidget(lblChannel);
    auto* top = new QHBoxLayout;
    top->addWidget(picIcon);
    top->addLayout(texts, 1);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdSysInfo);
    buttons->addStretch();
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(lblDisclaimer, 1);
    bottom->addLayout(buttons);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(separatorLine());
    layout->addLayout(bottom);
    layout->addWidget(separatorLine());
    setMinimumWidth(420);

    connect(cmdOK, &QPushButton::clicked, this, &QDialog::close);
    connect(cmdSysInfo, &QPushButton::clicked, this, &AboutWindow::startSystemInfo);
}

void AboutWindow::startSystemInfo() {
    const QString viewer = findSystemInfoViewer(m_sysInfo.findOnPath);
    // A viewer that is found but does not start is as unavailable as none.
    if (viewer.isEmpty() || !m_sysInfo.start(viewer))
        m_sysInfo.unavailable(QStringLiteral("System Information Is Unavailable At This Time"));
}

}  // namespace kelm
