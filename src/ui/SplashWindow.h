#pragma once

#include <QWidget>

class QFrame;
class QLabel;

namespace kelm {

// The splash window shown while KELM starts: the logo, the program's title,
// the product line and the version. Any key, or a click on its frame, closes it.
class SplashWindow final : public QWidget {
    Q_OBJECT
public:
    explicit SplashWindow(const QString& version, QWidget* parent = nullptr);

    QFrame* frame = nullptr;
    QLabel* lblProductName = nullptr;
    QLabel* lblCompanyProduct = nullptr;
    QLabel* lblVersion = nullptr;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace kelm
