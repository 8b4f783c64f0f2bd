#pragma once

#include <QPoint>
#include <QWidget>
#include <array>
#include <span>

namespace kelm {

// One channel's waveform picture: the trace of the last analysed buffer in
// orange on black, in the picture's own pixels. Points past the right edge are
// cut off by the picture.
class WaveformPicture final : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMaxPoints = 256;

    explicit WaveformPicture(QWidget* parent = nullptr);
    // Copies the points (at most kMaxPoints) and repaints; no allocation.
    void setTrace(std::span<const QPoint> points);
    std::span<const QPoint> trace() const { return std::span(m_points).first(size_t(m_count)); }
    QSize sizeHint() const override { return {120, 44}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::array<QPoint, kMaxPoints> m_points{};
    int m_count = 0;
};

}  // namespace kelm
