#include "Pictures.h"

#include <QAction>

namespace kelm::Pictures {

QIcon icon(const QString& key) { return QIcon(QStringLiteral(":/pictures/") + key); }

QIcon statusIcon(int id) { return icon(QStringLiteral("icon%1").arg(id)); }

void applyMenuCaption(QAction* action, const QString& caption) {
    const qsizetype marker = caption.lastIndexOf(QStringLiteral("|#"));
    if (marker < 0) {
        action->setText(caption);
        return;
    }
    action->setText(caption.left(marker));
    action->setIcon(icon(caption.mid(marker + 2)));
    action->setProperty("caption", caption);
}

}  // namespace kelm::Pictures
