#include "Toolbar.h"

#include "Pictures.h"

#include <QAction>
#include <QActionGroup>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>

namespace kelm {

Toolbar::Toolbar(QMainWindow* window) : QObject(window) {
    m_toolBar = window->addToolBar(QStringLiteral("Toolbar"));
    m_toolBar->setObjectName(QStringLiteral("Toolbar"));
    m_toolBar->setMovable(false);
    m_modes = new QActionGroup(this);
    m_modes->setExclusive(true);

    addButton(QStringLiteral("btnMedia"), QStringLiteral("Media mappa megnyítása"),
              QStringLiteral("appMedia"), false);
    m_toolBar->addSeparator();
    addButton(QStringLiteral("btnMonitor"), QStringLiteral("Monitor ablak megjelenítése"),
              QStringLiteral("encMonitor"), true)
        ->setChecked(true);
    addButton(QStringLiteral("btnEncAutoMove"), QStringLiteral("Monitor automatikus igazítása"),
              QStringLiteral("encAutoMove"), true)
        ->setChecked(true);
    addButton(QStringLiteral("btnEncMonOntop"), QStringLiteral("Monitor mindig legfelül"),
              QStringLiteral("encMonOntop"), true);
    addButton(QStringLiteral("btnEncPreview"), QStringLiteral("Kódolt felvétel megjelenítése"),
              QStringLiteral("encPreview"), true)
        ->setChecked(true);
    m_toolBar->addSeparator();
    addButton(QStringLiteral("btnSetup"), QStringLiteral("Beállítások"), QStringLiteral("appSetup"),
              false);
    m_toolBar->addSeparator();
    for (auto* a :
         {addButton(QStringLiteral("btnMost"),
                    QStringLiteral("Azonnali, \"Start\" gombra induló rögzítés "),
                    QStringLiteral("encMost"), true),
          addButton(QStringLiteral("btn1x"), QStringLiteral("Egyszeri, időzített rögzítés "),
                    QStringLiteral("enc1x"), true),
          addButton(QStringLiteral("btnNapi"), QStringLiteral("Napi, időzített rögzítés "),
                    QStringLiteral("encNapi"), true)})
        m_modes->addAction(a);
    m_toolBar->addSeparator();
    addButton(QStringLiteral("btnEncStart"), QStringLiteral("START - Rögzítés indítása"),
              QStringLiteral("encStart"), false);
    m_toolBar->addSeparator();
    addButton(QStringLiteral("btnAbout"), QStringLiteral("Névjegy"), QStringLiteral("appAbout"),
              false);
    addButton(QStringLiteral("btnExit"), QStringLiteral("Kilépés"), QStringLiteral("appExit"),
              false);

    buildMenus(window);
}

QAction* Toolbar::addButton(const QString& key, const QString& toolTip, const QString& imageKey,
                            bool checkable) {
    auto* action = m_toolBar->addAction(Pictures::icon(imageKey), QString());
    action->setObjectName(key);
    action->setToolTip(toolTip);
    action->setCheckable(checkable);
    m_buttons.insert(key, action);
    connect(action, &QAction::triggered, this, [this, key] { Q_EMIT buttonClicked(key); });
    return action;
}

QAction* Toolbar::addItem(QMenu* menu, const QString& key, const QString& caption, bool checkable,
                          bool checked) {
    QAction* action = caption == u"-" ? menu->addSeparator() : menu->addAction(QString());
    action->setObjectName(key);
    if (caption != u"-") Pictures::applyMenuCaption(action, caption);
    action->setCheckable(checkable);
    action->setChecked(checked);
    m_items.insert(key, action);
    connect(action, &QAction::triggered, this, [this, key] { Q_EMIT menuTriggered(key); });
    return action;
}

void Toolbar::buildMenus(QMainWindow* window) {
    QMenuBar* bar = window->menuBar();
    auto addMenu = [&](const QString& key, const QString& title, bool visible) {
        QMenu* m = visible ? bar->addMenu(title) : new QMenu(title, window);
        m->setObjectName(key);
        m_menus.insert(key, m);
        return m;
    };
    QMenu* file = addMenu(QStringLiteral("mnuFile"), QStringLiteral("&Fájl"), true);
    addItem(file, QStringLiteral("mnuMediaPath"), QStringLiteral("Media mappa|#s_Key8"));
    addItem(file, QStringLiteral("mnuExit"), QStringLiteral("&Kilépés...|#s_Key6"));

    QMenu* view = addMenu(QStringLiteral("mnuView"), QStringLiteral("&Nézet"), true);
    addItem(view, QStringLiteral("mnuMonitorWindow"), QStringLiteral("Monitor ablak|#s_Key10"),
            true, true);
    addItem(view, QStringLiteral("mnuAutoGo"), QStringLiteral("Automatikus igazítás|#s_Key9"), true,
            true);
    addItem(view, QStringLiteral("mnuOnTop"), QStringLiteral("Monitor ablak legfelül|#s_Key1"),
            true, false);
    addItem(view, QStringLiteral("mnuFRMSep2"), QStringLiteral("-"));
    addItem(view, QStringLiteral("mnuOut"), QStringLiteral("Kódolás megjelenítése|#s_Key4"), true,
            true);
    addItem(view, QStringLiteral("mnuSep3"), QStringLiteral("-"));
    addItem(view, QStringLiteral("mnuSetup"), QStringLiteral("Beállítások...|#s_Key3"));

    const QStringList zooms{QStringLiteral("0.5 X"), QStringLiteral("1 X"), QStringLiteral("1.5 X"),
                            QStringLiteral("2 X"), QStringLiteral("3 X")};
    QMenu* zoom = addMenu(QStringLiteral("mnuZoom"), QStringLiteral("&Zoom"), true);
    auto* zoomGroup = new QActionGroup(this);
    for (int i = 0; i < zooms.size(); ++i)
        zoomGroup->addAction(
            addItem(zoom, QStringLiteral("mnuZoomIndex(%1)").arg(i), zooms.at(i), true, i == 1));

    QMenu* controls = addMenu(QStringLiteral("mnuControls"), QStringLiteral("&Vezérlés"), true);
    addItem(controls, QStringLiteral("mnuMost"), QStringLiteral("Most|#s_Key11"), true, false);
    addItem(controls, QStringLiteral("mnu1X"), QStringLiteral("1X|#s_Key2"), true, false);
    addItem(controls, QStringLiteral("mnuNapi"), QStringLiteral("Napi|#s_Key12"), true, true);
    addItem(controls, QStringLiteral("mnuSep4"), QStringLiteral("-"));
    addItem(controls, QStringLiteral("mnuStart"), QStringLiteral("Rögzítés indítása|#s_Key5"));

    QMenu* tray = addMenu(QStringLiteral("mnuFRM"), QStringLiteral("FRM"), false);
    addItem(tray, QStringLiteral("mnuFRMRestore"), QStringLiteral("&Visszállítás"));
    addItem(tray, QStringLiteral("mnuFRMSep1"), QStringLiteral("-"));
    addItem(tray, QStringLiteral("mnuFRMExit"), QStringLiteral("&Kilépés|#s_Key6"));

    QMenu* popup = addMenu(QStringLiteral("mnuPopup"), QStringLiteral("Popup"), false);
    addItem(popup, QStringLiteral("mnuMonitorWindow2"), QStringLiteral("Monitor ablak|#s_Key10"),
            true, true);
    addItem(popup, QStringLiteral("mnuAutoGo2"), QStringLiteral("Automatikus igazítás|#s_Key9"),
            true, true);
    addItem(popup, QStringLiteral("mnuOnTop2"), QStringLiteral("Monitor ablak legfelül|#s_Key1"),
            true, false);
    addItem(popup, QStringLiteral("mnuFRMSep22"), QStringLiteral("-"));
    auto* zoomGroup2 = new QActionGroup(this);
    for (int i = 0; i < zooms.size(); ++i)
        zoomGroup2->addAction(
            addItem(popup, QStringLiteral("mnuZoomIndex2(%1)").arg(i), zooms.at(i), true, i == 1));
}

QAction* Toolbar::button(const QString& key) const {
    return m_buttons.value(key);
}
QAction* Toolbar::menuItem(const QString& key) const {
    return m_items.value(key);
}
QMenu* Toolbar::menu(const QString& key) const {
    return m_menus.value(key);
}

bool Toolbar::isPressed(const QString& key) const {
    const QAction* a = button(key);
    return a && a->isChecked();
}

void Toolbar::setPressed(const QString& key, bool pressed) {
    if (QAction* a = button(key)) a->setChecked(pressed);
}

bool Toolbar::isEnabled(const QString& key) const {
    const QAction* a = button(key);
    return a && a->isEnabled();
}

void Toolbar::setEnabled(const QString& key, bool enabled) {
    if (QAction* a = button(key)) a->setEnabled(enabled);
}

void Toolbar::setStartImage(const QString& imageKey) {
    m_startImageKey = imageKey;
    button(QStringLiteral("btnEncStart"))->setIcon(Pictures::icon(imageKey));
}

void Toolbar::setStartToolTip(const QString& tip) {
    button(QStringLiteral("btnEncStart"))->setToolTip(tip);
}
QString Toolbar::startToolTip() const {
    return button(QStringLiteral("btnEncStart"))->toolTip();
}

Toolbar::Mode Toolbar::mode() const {
    if (isPressed(QStringLiteral("btnMost"))) return Mode::Most;
    if (isPressed(QStringLiteral("btn1x"))) return Mode::Once;
    return Mode::Daily;
}

void Toolbar::pressMode(Mode mode) {
    setPressed(QStringLiteral("btnMost"), mode == Mode::Most);
    setPressed(QStringLiteral("btn1x"), mode == Mode::Once);
    setPressed(QStringLiteral("btnNapi"), mode == Mode::Daily);
}

}  // namespace kelm
