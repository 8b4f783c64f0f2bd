#include "LedMeter.h"

#include <QPainter>
#include <algorithm>

namespace kelm {

LedMeter::LedMeter(QWidget* parent) : QWidget(parent) {
    setMinimumSize(100, 18);
}

void LedMeter::setLevel(int element, int level) {
    if (element < 0 || element > 1) return;
    level = std::clamp(level, 0, 100);
    if (m_levels[size_t(element)] != level) {
        m_levels[size_t(element)] = level;
        update();
    }
}

void LedMeter::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    constexpr int kLeds = 20;
    const int rowHeight = (height() - 3) / 2;
    const double ledWidth = double(width() - 2) / kLeds;
    for (int ch = 0; ch < 2; ++ch) {
        const int lit = m_levels[size_t(ch)] * kLeds / 100;
        for (int i = 0; i < kLeds; ++i) {
            QColor c = i < 14   ? QColor(0, 200, 0)
                       : i < 18 ? QColor(230, 200, 0)
                                : QColor(220, 0, 0);
            if (i >= lit) c = c.darker(400);
            p.fillRect(
                QRectF(1 + i * ledWidth + 1, 1 + ch * (rowHeight + 1), ledWidth - 2, rowHeight), c);
        }
    }
}

}  // namespace kelm
