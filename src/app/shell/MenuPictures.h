#pragma once

#include "Pictures.h"
#include "ShellPorts.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace kelm {

// Pictures beside the menu items: installing sets every item's caption again
// from its "caption|#picture" form and shows the pictures in the menus of the
// main window's menu bar and its two popups.
class MenuPictures final : public MenuStylingPort {
public:
    explicit MenuPictures(QList<QMenu*> menus) : m_menus(std::move(menus)) {}

    void install() override { setPicturesShown(true); }
    bool isActive() const override { return m_active; }
    void detach() override { setPicturesShown(false); }

private:
    void setPicturesShown(bool shown) {
        for (QMenu* menu : m_menus)
            for (QAction* action : menu->actions()) {
                const QString caption = action->property("caption").toString();
                if (shown && !caption.isEmpty()) Pictures::applyMenuCaption(action, caption);
                action->setIconVisibleInMenu(shown);
            }
        m_active = shown;
    }

    QList<QMenu*> m_menus;
    bool m_active = false;
};

}  // namespace kelm
