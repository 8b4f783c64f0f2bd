#include "post/ProcProcessTable.h"

#include <QDir>
#include <QFile>

namespace kelm {

namespace {
// The kernel keeps 15 bytes of a command name.
constexpr qsizetype kCommBytes = 15;
}  // namespace

QString ProcProcessTable::commandName(const QByteArray& commContent) {
    QByteArray name = commContent;
    if (name.endsWith('\n')) name.chop(1);
    return QString::fromUtf8(name);
}

bool ProcProcessTable::isRunning(const QString& name) const {
    // A longer name shows cut to 15 bytes; compare what the kernel keeps.
    QByteArray wanted = name.toUtf8();
    if (wanted.isEmpty()) return false;
    wanted.truncate(kCommBytes);
    const QStringList entries = QDir(m_root).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool numeric = false;
        entry.toLongLong(&numeric);
        if (!numeric) continue;
        QFile comm(m_root + u'/' + entry + QStringLiteral("/comm"));
        if (!comm.open(QIODevice::ReadOnly)) continue;  // ended meanwhile, or not ours to read
        if (commandName(comm.read(64)).toUtf8() == wanted) return true;
    }
    return false;
}

}  // namespace kelm
