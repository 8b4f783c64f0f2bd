#include "recorder/LastState.h"

#include "recorder/TextFile.h"

#include <QDir>
#include <algorithm>

namespace kelm {

void LastState::setLine(int number, const QString& value) {
    if (number >= 1 && number <= LineCount) lines[number - 1] = value;
}

QString LastState::path(const QString& programDir, const QString& channelShortName) {
    return QDir(programDir).filePath(channelShortName + QStringLiteral(".ini"));
}

bool LastState::save(const QString& path) const {
    return TextFile::writeLines(path, lines);
}

std::optional<LastState> LastState::load(const QString& path) {
    const auto read = TextFile::readLines(path);
    if (!read) return std::nullopt;
    LastState state;
    state.linesRead = int(std::min<qsizetype>(read->size(), LineCount));
    for (int i = 0; i < LineCount && i < read->size(); ++i) state.lines[i] = read->at(i);
    return state;
}

bool LastState::saveLine(const QString& path, int number, const QString& value) {
    auto read = TextFile::readLines(path);
    if (!read || number < 1 || number > kRewrittenLines || read->size() > kRewrittenLines)
        return false;
    QStringList lines = *read;
    while (lines.size() < kRewrittenLines) lines << QString();
    lines[number - 1] = value;
    return TextFile::writeLines(path, lines);
}

}  // namespace kelm
