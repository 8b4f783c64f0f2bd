#pragma once

#include "Messenger.h"

#include <QObject>
#include <QTimer>

namespace kelm {

// Shows a message box once the current tick has returned. A box opened inside
// a scheduler tick would hold that tick, and with it the next start or the
// handling of a recording's end, until somebody answers it.
inline void showAfterTick(QObject* context, Messenger& messenger, const QString& text,
                          Messenger::Icon icon) {
    QTimer::singleShot(0, context, [&messenger, text, icon] { messenger.show(text, icon); });
}

}  // namespace kelm
