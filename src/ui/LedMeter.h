#pragma once

#include <QWidget>
#include <array>

namespace kelm {

// Two-channel LED level meter: element 0 left, 1 right, each 0..100.
class LedMeter final : public QWidget {
    Q_OBJECT
public:
    explicit LedMeter(QWidget* parent = nullptr);
    void setLevel(int element, int level);
    int level(int element) const { return m_levels.at(size_t(element)); }
    QSize sizeHint() const override { return {140, 22}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::array<int, 2> m_levels{0, 0};
};

}  // namespace kelm
