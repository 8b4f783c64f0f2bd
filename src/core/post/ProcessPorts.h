#pragma once

#include <QString>
#include <QStringList>

namespace kelm {

// Starts outside programs the way KELM's post-processing needs: detached,
// standard input and outputs on /dev/null, in KELM's own working folder, and
// never waited on. Called on the GUI thread; returns at once.
class ProgramLauncher {
public:
    virtual ~ProgramLauncher() = default;
    // `arguments` reach the program one by one, never through a shell. False
    // when the program could not be started (missing, not executable).
    virtual bool startDetached(const QString& program, const QStringList& arguments) = 0;
};

// The running processes, looked up by program name.
class ProcessTable {
public:
    virtual ~ProcessTable() = default;
    // True when a process whose command name is exactly `name` runs now.
    virtual bool isRunning(const QString& name) const = 0;
};

}  // namespace kelm
