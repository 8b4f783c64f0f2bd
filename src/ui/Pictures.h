#pragma once

#include <QIcon>
#include <QString>

class QAction;

namespace kelm {

// KELM's own pictures from the resource file, by key: toolbar pictures
// ("encStart"), status icons ("icon101"), bitmaps ("bitmap103") and the menu
// pictures "s_Key1" to "s_Key13".
namespace Pictures {

QIcon icon(const QString& key);
QIcon statusIcon(int id);

// A menu caption ending in "|#" and a picture key shows that picture beside the
// caption; the marker itself is not shown.
void applyMenuCaption(QAction* action, const QString& caption);

}  // namespace Pictures
}  // namespace kelm
