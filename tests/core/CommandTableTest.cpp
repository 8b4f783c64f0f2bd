#include "shell/CommandTable.h"

#include <gtest/gtest.h>
#include <QSet>

using namespace kelm;

TEST(CommandTable, EveryItemButTheSeparatorsRunsACommand) {
    for (int i = 0; i < kMenuItemCount; ++i) {
        const auto item = MenuItem(i);
        const bool separator = keyText(item).contains(QStringLiteral("Sep"));
        EXPECT_EQ(commandOf(item).has_value(), !separator) << keyText(item).toStdString();
    }
}

TEST(CommandTable, TwinsAndButtonsShareTheirCommands) {
    for (MenuItem main : {MenuItem::mnuMonitorWindow, MenuItem::mnuAutoGo, MenuItem::mnuOnTop}) {
        const auto twin = popupTwin(main);
        ASSERT_TRUE(twin.has_value());
        EXPECT_EQ(commandOf(*twin), commandOf(main));
        EXPECT_EQ(keyText(*twin), keyText(main) + u'2');
    }
    EXPECT_FALSE(popupTwin(MenuItem::mnuOut).has_value());
    EXPECT_EQ(commandOf(MenuItem::mnuStart), commandOf(Button::btnEncStart));
    EXPECT_EQ(commandOf(MenuItem::mnuMediaPath), commandOf(Button::btnMedia));
    EXPECT_EQ(commandOf(MenuItem::mnuSetup), commandOf(Button::btnSetup));
    EXPECT_EQ(commandOf(MenuItem::mnuAutoGo), commandOf(Button::btnEncAutoMove));
    EXPECT_EQ(commandOf(MenuItem::mnuOnTop), commandOf(Button::btnEncMonOntop));
    // The exit button confirms itself; the menu items go through the window's close.
    EXPECT_EQ(commandOf(Button::btnExit), Command::ConfirmedExit);
    EXPECT_EQ(commandOf(MenuItem::mnuExit), Command::CloseWindow);
    EXPECT_EQ(commandOf(MenuItem::mnuFRMExit), Command::CloseWindow);
}

TEST(CommandTable, EveryButtonHasItsOwnCommandAndKey) {
    QSet<int> commands;
    QSet<QString> keys;
    for (int i = 0; i < kButtonCount; ++i) {
        commands.insert(int(commandOf(Button(i))));
        keys.insert(keyText(Button(i)));
        EXPECT_TRUE(keyText(Button(i)).startsWith(QStringLiteral("btn")));
    }
    EXPECT_EQ(commands.size(), kButtonCount);
    EXPECT_EQ(keys.size(), kButtonCount);
}

TEST(CommandTable, ModeItemsNameTheirButtons) {
    EXPECT_EQ(modeButtonOf(MenuItem::mnuMost), Button::btnMost);
    EXPECT_EQ(modeButtonOf(MenuItem::mnu1X), Button::btn1x);
    EXPECT_EQ(modeButtonOf(MenuItem::mnuNapi), Button::btnNapi);
    EXPECT_FALSE(modeButtonOf(MenuItem::mnuStart).has_value());
}

TEST(CommandTable, ZoomFactorIsTheNumberBeforeX) {
    const double factors[] = {0.5, 1, 1.5, 2, 3};
    for (int i = 0; i < kZoomCount; ++i) {
        EXPECT_DOUBLE_EQ(zoomFactor(i), factors[i]) << i;
        EXPECT_TRUE(zoomCaption(i).endsWith(QStringLiteral(" X")));
    }
}
