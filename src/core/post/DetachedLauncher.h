#pragma once

#include "post/ProcessPorts.h"

namespace kelm {

// ProgramLauncher over QProcess::startDetached.
class DetachedLauncher final : public ProgramLauncher {
public:
    bool startDetached(const QString& program, const QStringList& arguments) override;
};

}  // namespace kelm
