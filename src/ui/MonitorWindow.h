#pragma once

#include "encoder/Encoder.h"

#include <QImage>
#include <QPoint>
#include <QWidget>

namespace kelm {

// The monitor window: a small frameless window that shows the live picture
// handed to it as RGB frames. It has no controls; a right click asks for the
// monitor popup menu, and the left button drags it while dragging is allowed.
// GUI thread only.
class MonitorWindow final : public QWidget {
    Q_OBJECT
public:
    // The client size at zoom 1, from 3332 x 2499 twips.
    static constexpr double kBaseWidthTwips = 3332;
    static constexpr double kBaseHeightTwips = 2499;
    static QSize sizeForZoom(double zoom);

    explicit MonitorWindow(QWidget* parent = nullptr);

    // Shows `frame` at the window's size; the frame's pixels are shared, not copied.
    void showFrame(const PreviewFrame& frame);
    // Forgets the last picture (the window shows black).
    void clearPicture();
    bool hasPicture() const { return !m_picture.isNull(); }

    // While false, mouse moves with the left button held do not move the window.
    void setDraggable(bool draggable) { m_draggable = draggable; }
    void setStaysOnTop(bool onTop);
    bool staysOnTop() const;

    int framesShown() const { return m_framesShown; }

Q_SIGNALS:
    void popupRequested(QPoint globalPos);
    // The mouse button went up after a press in the window.
    void released();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QImage m_picture;
    QPoint m_dragOrigin;
    bool m_draggable = false;
    int m_framesShown = 0;
};

}  // namespace kelm
