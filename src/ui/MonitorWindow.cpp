#include "MonitorWindow.h"

#include <QMouseEvent>
#include <QPainter>

namespace kelm {

namespace {
constexpr double kTwipsPerPixel = 15;
}

QSize MonitorWindow::sizeForZoom(double zoom) {
    return {int(zoom * kBaseWidthTwips / kTwipsPerPixel),
            int(zoom * kBaseHeightTwips / kTwipsPerPixel)};
}

MonitorWindow::MonitorWindow(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus) {
    setObjectName(QStringLiteral("monitorWindow"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFixedSize(sizeForZoom(1));
}

void MonitorWindow::showFrame(const PreviewFrame& frame) {
    if (frame.width <= 0 || frame.height <= 0 || frame.stride < frame.width * 3 ||
        frame.rgb.size() < qsizetype(frame.stride) * frame.height)
        return;  // a malformed frame is dropped, never read past its end
    // QImage shares the frame's bytes; the QByteArray copy keeps them alive.
    QByteArray bytes = frame.rgb;
    const uchar* data = reinterpret_cast<const uchar*>(bytes.constData());
    m_picture = QImage(
        data, frame.width, frame.height, frame.stride, QImage::Format_RGB888,
        [](void* info) { delete static_cast<QByteArray*>(info); },
        new QByteArray(std::move(bytes)));
    ++m_framesShown;
    if (isVisible()) update();
}

void MonitorWindow::clearPicture() {
    m_picture = QImage();
    update();
}

void MonitorWindow::setStaysOnTop(bool onTop) {
    if (staysOnTop() == onTop) return;
    const bool shown = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, onTop);  // hides the window
    if (shown) show();
}

bool MonitorWindow::staysOnTop() const {
    return windowFlags().testFlag(Qt::WindowStaysOnTopHint);
}

void MonitorWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (m_picture.isNull()) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    // Plain nearest-pixel scaling: the monitor is a check picture, and smooth
    // scaling of every frame would cost several times more.
    painter.drawImage(rect(), m_picture);
}

void MonitorWindow::mousePressEvent(QMouseEvent* event) {
    m_dragOrigin = event->position().toPoint();
    if (event->button() == Qt::RightButton)
        Q_EMIT popupRequested(event->globalPosition().toPoint());
}

void MonitorWindow::mouseMoveEvent(QMouseEvent* event) {
    if (!m_draggable || !(event->buttons() & Qt::LeftButton)) return;
    const QPoint at = event->position().toPoint();
    move(x() - m_dragOrigin.x() + at.x(), y() - m_dragOrigin.y() + at.y());
}

void MonitorWindow::mouseReleaseEvent(QMouseEvent*) {
    Q_EMIT released();
}

}  // namespace kelm
