#pragma once

#include "post/ProcessPorts.h"

namespace kelm {

// ProcessTable over Linux's /proc: every numeric folder is a process, and its
// "comm" file holds the command name (at most 15 bytes, ended by a newline).
// Processes that end while the table is read are skipped.
class ProcProcessTable final : public ProcessTable {
public:
    // `procRoot` is "/proc" but for tests.
    explicit ProcProcessTable(QString procRoot = QStringLiteral("/proc"))
        : m_root(std::move(procRoot)) {}
    bool isRunning(const QString& name) const override;

    // A comm file's content as a name: the one trailing newline dropped.
    static QString commandName(const QByteArray& commContent);

private:
    QString m_root;
};

}  // namespace kelm
