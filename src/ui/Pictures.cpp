#include "Pictures.h"

#include <QAction>

// The pictures live in a static library: their resource must be registered
// by hand, or the linker drops it.
static void registerPictures() {
    Q_INIT_RESOURCE(kelm);
}

namespace kelm::Pictures {

QIcon icon(const QString& key) {
    static const bool registered = (registerPictures(), true);
    Q_UNUSED(registered);
    return QIcon(QStringLiteral(":/pictures/") + key);
}

QIcon statusIcon(int id) {
    return icon(QStringLiteral("icon%1").arg(id));
}

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
