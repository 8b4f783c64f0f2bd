#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace kelm {

// Line-oriented text files as KELM keeps them: one value per line, CR LF line
// ends, the system's encoding (UTF-8). A file that is not valid UTF-8 is read as
// Windows-1250, so files carried over from a Hungarian Windows PC keep their
// accents.
namespace TextFile {

// Decodes file content: UTF-8 when valid, otherwise Windows-1250.
QString decode(const QByteArray& bytes);

// Reads every line (without line ends; CR LF, LF and a lone CR all end a line).
// nullopt when the file cannot be read. A last line without a line end counts.
std::optional<QStringList> readLines(const QString& path);

// Writes the lines, each followed by CR LF, through a temporary file in the
// same folder and a rename, so a crash never leaves a half-written file.
// Returns false (and leaves any old file untouched) on failure.
bool writeLines(const QString& path, const QStringList& lines);

}  // namespace TextFile
}  // namespace kelm
