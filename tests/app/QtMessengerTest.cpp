#include "QtMessenger.h"

#include <gtest/gtest.h>
#include <QWidget>

using namespace kelm;

TEST(QtMessenger, WithoutADisplayEveryBoxIsLoggedAndTakesItsDefaultAtOnce) {
    ASSERT_TRUE(QtMessenger::isHeadless());
    QWidget window;
    window.setWindowTitle(QStringLiteral("Teszt TV"));
    QStringList logged;
    QtMessenger messenger(&window, [&](const QString& text) { logged << text; });
    EXPECT_EQ(messenger.ask(QStringLiteral("Valóban ki akar lépni?"), Messenger::Buttons::YesNo,
                            Messenger::Icon::Question, Messenger::Answer::Yes),
              Messenger::Answer::Yes);
    EXPECT_EQ(messenger.ask(QStringLiteral("Valóban le akarja allítani a kódolást?"),
                            Messenger::Buttons::OkCancel, Messenger::Icon::Warning,
                            Messenger::Answer::Cancel),
              Messenger::Answer::Cancel);
    messenger.show(QStringLiteral("Nincs megadva kódolási idő!"));
    EXPECT_EQ(logged, (QStringList{QStringLiteral("Valóban ki akar lépni?"),
                                   QStringLiteral("Valóban le akarja allítani a kódolást?"),
                                   QStringLiteral("Nincs megadva kódolási idő!")}));
}
