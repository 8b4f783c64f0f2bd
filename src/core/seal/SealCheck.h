#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <atomic>
#include <optional>

namespace kelm {

// Checks a media folder against its seals (SealFile.h): every sealed file
// still holds the bytes it was sealed with, none has gone unless a seal of
// its channel notes its deletion, every recording and subtitle file KELM
// names is sealed somewhere, and every seal's first line links it to the
// channel's seal before it. Files with other names (preview copies, reports,
// the seals themselves) are not asked about. Reads every sealed file: run it
// off the GUI thread.
namespace SealCheck {

struct Finding {
    enum class Kind {
        Changed,      // a file's bytes differ from its seal
        Missing,      // a sealed file is gone, and no deletion note covers it
        Unsealed,     // a recording or subtitle file that no seal names
        BrokenChain,  // a seal's first line does not match the seal before it
        Unreadable,   // a seal or a sealed file that cannot be read
        BadLine,      // a seal's line that is neither comment nor checkable
    };
    Kind kind;
    QString fileName;  // the file the finding is about
    QString text;      // the finding as KELM says it, naming the file
};

struct Result {
    QList<Finding> findings;
    QStringList seals;  // the seals checked, oldest first per channel
    int filesChecked = 0;
    bool folderReadable = true;
};

// `day`: only that day's seals and the recordings named for that day (the
// chain of that day's seals to the one before is checked too).
Result checkFolder(const QString& mediaDir, std::optional<QDate> day = std::nullopt,
                   const std::atomic_bool* cancel = nullptr);

}  // namespace SealCheck
}  // namespace kelm
