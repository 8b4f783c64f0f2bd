#include "post/ShellScript.h"

namespace kelm::ShellScript {

namespace {

QString createLine(const QString& marker) {
    return QStringLiteral(": > ") + singleQuoted(marker);
}

QString removeCommand(const QString& path) {
    return QStringLiteral("rm -f -- ") + singleQuoted(path);
}

QString removeLine(const QString& marker) {
    return removeCommand(marker);
}

QByteArray script(const QString& first, const QString& second, const QString& third) {
    return (first + u'\n' + second + u'\n' + third + u'\n').toUtf8();
}

}  // namespace

QString singleQuoted(const QString& text) {
    QString quoted = QStringLiteral("'");
    quoted.reserve(text.size() + 2);
    for (const QChar c : text) {
        if (c == u'\'')
            quoted += QStringLiteral("'\\''");
        else
            quoted += c;
    }
    quoted += u'\'';
    return quoted;
}

QByteArray copyScript(const QString& marker, const QString& source, const QString& destination,
                      const QString& failure) {
    // "--": a path that begins with "-" is a file, never an option. cp's
    // complaints go into `failure`, which is kept only when cp fails; the
    // marker is removed either way, so "marker gone" still means "done" and
    // the failure file says how it went, in cp's own words.
    return script(createLine(marker),
                  QStringLiteral("cp -f -- ") + singleQuoted(source) + u' ' +
                      singleQuoted(destination) + QStringLiteral(" 2> ") + singleQuoted(failure) +
                      QStringLiteral(" && ") + removeCommand(failure),
                  removeLine(marker));
}

QByteArray indexScript(const QString& marker, const QString& indexer, const QString& input,
                       const QString& output) {
    return script(createLine(marker),
                  singleQuoted(indexer) + QStringLiteral(" -i ") + singleQuoted(input) +
                      QStringLiteral(" -o ") + singleQuoted(output),
                  removeLine(marker));
}

QByteArray markerOnlyScript(const QString& marker) {
    return (createLine(marker) + u'\n' + removeLine(marker) + u'\n').toUtf8();
}

}  // namespace kelm::ShellScript
