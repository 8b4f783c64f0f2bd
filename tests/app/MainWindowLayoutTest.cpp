#include "Harness.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QPixmap>

using namespace kelm;
using namespace kelm::test;

namespace {
// Every visible control lies wholly inside the window, at a usable size.
void expectInside(QWidget* window, QWidget* w) {
    ASSERT_TRUE(w->isVisible()) << w->objectName().toStdString();
    const QRect r(w->mapTo(window, QPoint(0, 0)), w->size());
    EXPECT_TRUE(window->rect().contains(r)) << w->objectName().toStdString();
    EXPECT_GE(w->height(), 10) << w->objectName().toStdString();
}
}  // namespace

TEST(MainWindowLayout, EveryControlFitsInBothLogPanelHeights) {
    Harness h;
    h.writeState(QStringLiteral("20:00:00"), QStringLiteral("21:30:00"),
                 QStringLiteral("01:30:00"));
    h.start();
    h.window->show();
    MainForm& f = h.form();
    f.logPanel.box->setVisible(true);
    for (int shown = 0; shown < 2; ++shown) {
        for (QWidget* w : std::initializer_list<QWidget*>{
                 f.sources.videoSource, f.sources.videoInput, f.sources.tvStandard,
                 f.sources.pixelFormat, f.sources.channel, f.sources.tunerType,
                 f.sources.audioSource, f.sources.audioInput, f.mixerLines.sourceVolume,
                 f.mixerLines.destinationVolume, f.times.start, f.times.end, f.times.duration,
                 f.zoom.text, f.statusBar.progress, f.logPanel.toggle, f.playPreview})
            expectInside(h.window.get(), w);
        const QString png =
            QDir::temp().filePath(QStringLiteral("kelm-main-window-%1.png").arg(shown));
        h.window->grab().save(png);
        f.logPanel.toggle->click();  // as the operator does
    }
    EXPECT_EQ(f.logPanel.toggle->toolTip(), QStringLiteral("Eseménynapló bezárása..."))
        << "two clicks restore the panel";
    EXPECT_TRUE(f.logPanel.box->isVisible());
    EXPECT_EQ(h.window->height(), 6255 / 15);
}
