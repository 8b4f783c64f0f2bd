#include "SplashWindow.h"

#include "Pictures.h"

#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace kelm {

SplashWindow::SplashWindow(const QString& version, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("frmSplash"));
    frame = new QFrame;
    frame->setObjectName(QStringLiteral("splashFrame"));
    frame->setFrameShape(QFrame::Box);

    auto* imgLogo = new QLabel;
    imgLogo->setObjectName(QStringLiteral("imgLogo"));
    imgLogo->setPixmap(Pictures::icon(QStringLiteral("appLogo")).pixmap(96, 96));

    lblProductName = new QLabel(QStringLiteral("KELM"));
    lblProductName->setObjectName(QStringLiteral("lblProductName"));
    QFont big = lblProductName->font();
    big.setPointSizeF(big.pointSizeF() * 2.4);
    big.setBold(true);
    lblProductName->setFont(big);
    lblCompanyProduct = new QLabel(QStringLiteral("Műsorrögzítő TV- és rádiócsatornákhoz"));
    lblCompanyProduct->setObjectName(QStringLiteral("lblCompanyProduct"));
    lblVersion = new QLabel(QStringLiteral("Verzió: ") + version);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    auto* lblPlatform = new QLabel(QStringLiteral("Linux"));
    auto* lblLoading = new QLabel(QStringLiteral("Indítás..."));

    auto* texts = new QVBoxLayout;
    texts->addWidget(lblProductName);
    texts->addWidget(lblCompanyProduct);
    texts->addStretch();
    texts->addWidget(lblVersion);
    texts->addWidget(lblPlatform);
    texts->addWidget(lblLoading);
    auto* inner = new QHBoxLayout(frame);
    inner->addWidget(imgLogo, 0, Qt::AlignTop);
    inner->addLayout(texts, 1);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(frame);
    frame->installEventFilter(this);
    resize(440, 200);
}

void SplashWindow::keyPressEvent(QKeyEvent*) {
    close();
}

bool SplashWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == frame && event->type() == QEvent::MouseButtonRelease) {
        close();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace kelm
