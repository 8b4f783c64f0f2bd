#pragma once

#include <QByteArray>
#include <QString>

namespace kelm::ShellScript {

// `text` as one single-quoted word of a POSIX shell: every embedded quote
// becomes '\'' so that blanks, quotes, `$`, backquotes, newlines and every
// other byte reach the command as they are and nothing is ever executed.
QString singleQuoted(const QString& text);

// The three-line scripts of the preview chain, in UTF-8 with LF line ends,
// run by /bin/sh. Each creates `marker` first and removes it last, so the
// marker's presence means "still working".

// ": > marker", "cp -f -- source destination 2> failure && rm -f -- failure",
// "rm -f -- marker": when the marker is gone, `failure` exists only if cp
// failed, and holds what cp said.
QByteArray copyScript(const QString& marker, const QString& source, const QString& destination,
                      const QString& failure);

// ": > marker", "indexer -i input -o output", "rm -f -- marker".
QByteArray indexScript(const QString& marker, const QString& indexer, const QString& input,
                       const QString& output);

// The index script when no indexer may run: only the marker lines, so the
// watcher sees the step end in the same way.
QByteArray markerOnlyScript(const QString& marker);

}  // namespace kelm::ShellScript
