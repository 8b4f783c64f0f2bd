#include "Toolbar.h"

#include "Pictures.h"

#include <QAction>
#include <QActionGroup>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <tuple>

namespace kelm {

Toolbar::Toolbar(QMainWindow* window) : QObject(window) {
    m_toolBar = window->addToolBar(QStringLiteral("Toolbar"));
    m_toolBar->setObjectName(QStringLiteral("Toolbar"));
    m_toolBar->setMovable(false);
    m_modes = new QActionGroup(this);
    m_modes->setExclusive(true);

    addButton(Button::btnMedia, QStringLiteral("Media mappa megnyítása"),
              QStringLiteral("appMedia"), false);
    m_toolBar->addSeparator();
    addButton(Button::btnMonitor, QStringLiteral("Monitor ablak megjelenítése"),
              QStringLiteral("encMonitor"), true)
        ->setChecked(true);
    addButton(Button::btnEncAutoMove, QStringLiteral("Monitor automatikus igazítása"),
              QStringLiteral("encAutoMove"), true)
        ->setChecked(true);
    addButton(Button::btnEncMonOntop, QStringLiteral("Monitor mindig legfelül"),
              QStringLiteral("encMonOntop"), true);
    addButton(Button::btnEncPreview, QStringLiteral("Kódolt felvétel megjelenítése"),
              QStringLiteral("encPreview"), true)
        ->setChecked(true);
    m_toolBar->addSeparator();
    addButton(Button::btnSetup, QStringLiteral("Beállítások"), QStringLiteral("appSetup"), false);
    m_toolBar->addSeparator();
    for (auto* a :
         {addButton(Button::btnMost, QStringLiteral("Azonnali, \"Start\" gombra induló rögzítés "),
                    QStringLiteral("encMost"), true),
          addButton(Button::btn1x, QStringLiteral("Egyszeri, időzített rögzítés "),
                    QStringLiteral("enc1x"), true),
          addButton(Button::btnNapi, QStringLiteral("Napi, időzített rögzítés "),
                    QStringLiteral("encNapi"), true)})
        m_modes->addAction(a);
    m_toolBar->addSeparator();
    addButton(Button::btnEncStart, QStringLiteral("START - Rögzítés indítása"),
              QStringLiteral("encStart"), false);
    m_toolBar->addSeparator();
    addButton(Button::btnAbout, QStringLiteral("Névjegy"), QStringLiteral("appAbout"), false);
    addButton(Button::btnExit, QStringLiteral("Kilépés"), QStringLiteral("appExit"), false);

    buildMenus(window);
}

QAction* Toolbar::addButton(Button key, const QString& toolTip, const QString& imageKey,
                            bool checkable) {
    auto* action = m_toolBar->addAction(Pictures::icon(imageKey), QString());
    action->setObjectName(keyText(key));
    action->setToolTip(toolTip);
    action->setCheckable(checkable);
    action->setProperty("pictureKey", imageKey);
    m_buttons.at(size_t(key)) = action;
    connect(action, &QAction::triggered, this, [this, key] { Q_EMIT buttonClicked(key); });
    return action;
}

QAction* Toolbar::addItem(QMenu* menu, MenuItem key, const QString& caption, bool checkable,
                          bool checked) {
    QAction* action = caption == u"-" ? menu->addSeparator() : menu->addAction(QString());
    action->setObjectName(keyText(key));
    if (caption != u"-") Pictures::applyMenuCaption(action, caption);
    action->setCheckable(checkable);
    action->setChecked(checked);
    m_items.at(size_t(key)) = action;
    connect(action, &QAction::triggered, this, [this, key] { Q_EMIT menuTriggered(key); });
    return action;
}

void Toolbar::buildMenus(QMainWindow* window) {
    QMenuBar* bar = window->menuBar();
    auto addMenu = [&](Menu key, const QString& title, bool visible) {
        QMenu* m = visible ? bar->addMenu(title) : new QMenu(title, window);
        m->setObjectName(keyText(key));
        m_menus.at(size_t(key)) = m;
        return m;
    };
    QMenu* file = addMenu(Menu::mnuFile, QStringLiteral("&Fájl"), true);
    addItem(file, MenuItem::mnuMediaPath, QStringLiteral("Media mappa|#s_Key8"));
    addItem(file, MenuItem::mnuExit, QStringLiteral("&Kilépés...|#s_Key6"));

    QMenu* view = addMenu(Menu::mnuView, QStringLiteral("&Nézet"), true);
    addItem(view, MenuItem::mnuMonitorWindow, QStringLiteral("Monitor ablak|#s_Key10"), true, true);
    addItem(view, MenuItem::mnuAutoGo, QStringLiteral("Automatikus igazítás|#s_Key9"), true, true);
    addItem(view, MenuItem::mnuOnTop, QStringLiteral("Monitor ablak legfelül|#s_Key1"), true,
            false);
    addItem(view, MenuItem::mnuFRMSep2, QStringLiteral("-"));
    addItem(view, MenuItem::mnuOut, QStringLiteral("Kódolás megjelenítése|#s_Key4"), true, true);
    addItem(view, MenuItem::mnuSep3, QStringLiteral("-"));
    addItem(view, MenuItem::mnuSetup, QStringLiteral("Beállítások...|#s_Key3"));

    QMenu* zoom = addMenu(Menu::mnuZoom, QStringLiteral("&Zoom"), true);
    addZoomItems(zoom, ZoomMenu::Main);

    QMenu* controls = addMenu(Menu::mnuControls, QStringLiteral("&Vezérlés"), true);
    addItem(controls, MenuItem::mnuMost, QStringLiteral("Most|#s_Key11"), true, false);
    addItem(controls, MenuItem::mnu1X, QStringLiteral("1X|#s_Key2"), true, false);
    addItem(controls, MenuItem::mnuNapi, QStringLiteral("Napi|#s_Key12"), true, true);
    addItem(controls, MenuItem::mnuSep4, QStringLiteral("-"));
    addItem(controls, MenuItem::mnuStart, QStringLiteral("Rögzítés indítása|#s_Key5"));

    QMenu* tray = addMenu(Menu::mnuFRM, QStringLiteral("FRM"), false);
    addItem(tray, MenuItem::mnuFRMRestore, QStringLiteral("&Visszállítás"));
    addItem(tray, MenuItem::mnuFRMSep1, QStringLiteral("-"));
    addItem(tray, MenuItem::mnuFRMExit, QStringLiteral("&Kilépés|#s_Key6"));

    QMenu* popup = addMenu(Menu::mnuPopup, QStringLiteral("Popup"), false);
    addItem(popup, MenuItem::mnuMonitorWindow2, QStringLiteral("Monitor ablak|#s_Key10"), true,
            true);
    addItem(popup, MenuItem::mnuAutoGo2, QStringLiteral("Automatikus igazítás|#s_Key9"), true,
            true);
    addItem(popup, MenuItem::mnuOnTop2, QStringLiteral("Monitor ablak legfelül|#s_Key1"), true,
            false);
    addItem(popup, MenuItem::mnuFRMSep22, QStringLiteral("-"));
    addZoomItems(popup, ZoomMenu::Popup);
}

void Toolbar::addZoomItems(QMenu* menu, ZoomMenu which) {
    static const std::array<const char*, kZoomCount> captions{"0.5 X", "1 X", "1.5 X", "2 X",
                                                              "3 X"};
    const QString key = which == ZoomMenu::Main ? QStringLiteral("mnuZoomIndex(%1)")
                                                : QStringLiteral("mnuZoomIndex2(%1)");
    auto* group = new QActionGroup(this);
    for (int i = 0; i < kZoomCount; ++i) {
        QAction* action = menu->addAction(QString::fromLatin1(captions.at(size_t(i))));
        action->setObjectName(key.arg(i));
        action->setCheckable(true);
        action->setChecked(i == 1);
        group->addAction(action);
        m_zoomItems.at(size_t(which)).at(size_t(i)) = action;
        connect(action, &QAction::triggered, this,
                [this, which, i] { Q_EMIT zoomTriggered(which, i); });
    }
}

QAction* Toolbar::zoomItem(ZoomMenu menu, int index) const {
    return m_zoomItems.at(size_t(menu)).at(size_t(index));
}

bool Toolbar::isPressed(Button key) const {
    return button(key)->isChecked();
}
void Toolbar::setPressed(Button key, bool pressed) {
    button(key)->setChecked(pressed);
}
bool Toolbar::isEnabled(Button key) const {
    return button(key)->isEnabled();
}
void Toolbar::setEnabled(Button key, bool enabled) {
    button(key)->setEnabled(enabled);
}

void Toolbar::showStartState(Arm arm) {
    const QString picture =
        arm == Arm::Idle ? QStringLiteral("encStart") : QStringLiteral("encStop");
    QAction* start = button(Button::btnEncStart);
    start->setIcon(Pictures::icon(picture));
    start->setProperty("pictureKey", picture);
}

void Toolbar::setStartToolTip(const QString& tip) {
    button(Button::btnEncStart)->setToolTip(tip);
}
QString Toolbar::startToolTip() const {
    return button(Button::btnEncStart)->toolTip();
}

namespace {
// Each mode's button and menu item.
constexpr std::array<std::tuple<RecordingMode, Button, MenuItem>, 3> kModeViews{
    {{RecordingMode::Most, Button::btnMost, MenuItem::mnuMost},
     {RecordingMode::Once, Button::btn1x, MenuItem::mnu1X},
     {RecordingMode::Daily, Button::btnNapi, MenuItem::mnuNapi}}};
}  // namespace

void Toolbar::enableModes(RecordingMode current, bool others) {
    for (const auto& [mode, key, item] : kModeViews) setEnabled(key, mode == current || others);
}

void Toolbar::showMode(RecordingMode mode) {
    for (const auto& [shown, key, item] : kModeViews) {
        setPressed(key, mode == shown);
        menuItem(item)->setChecked(mode == shown);
    }
}

}  // namespace kelm
