#include "WaveformPicture.h"

#include <QPainter>
#include <algorithm>

namespace kelm {

namespace {
// Orange: red 255, green 128, blue 0.
const QColor kTraceColour(255, 128, 0);
}  // namespace

WaveformPicture::WaveformPicture(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFixedSize(120, 44);
}

void WaveformPicture::setTrace(std::span<const QPoint> points) {
    m_count = int(std::min(points.size(), m_points.size()));
    std::copy_n(points.begin(), m_count, m_points.begin());
    update();
}

void WaveformPicture::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    p.setPen(kTraceColour);
    // The trace starts at the middle line, as the pen does.
    QPoint last(0, height() / 2);
    for (int i = 0; i < m_count; ++i) {
        const QPoint next = m_points[size_t(i)];
        if (last.x() >= width()) break;
        p.drawLine(last, next);
        last = next;
    }
}

}  // namespace kelm
