#include "recorder/MediaStorage.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

using namespace kelm;

namespace {

struct CreateFolderRow {
    const char* what;
    const char* folder;  // below the test folder; "" asks for the empty path
    bool made;           // createFolder's answer
};

// "file" is a file, "there" a folder, before each row runs.
const CreateFolderRow kCreateFolderRows[] = {
    {"a missing folder is made", "Media", true},
    {"a folder that is there is kept", "there", true},
    {"a trailing slash names the same folder", "Media/", true},
    {"a file in its place is no folder", "file", false},
    {"only one level is made", "missing/Media", false},
    {"a folder below a file cannot be", "file/Media", false},
    {"the empty path names nothing", "", false},
};

}  // namespace

TEST(SystemMediaStorage, CreateFolderMakesOneLevelAndSaysWhetherAFolderIsThere) {
    for (const CreateFolderRow& row : kCreateFolderRows) {
        QTemporaryDir dir;
        ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("there")));
        QFile file(dir.filePath(QStringLiteral("file")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.close();
        const QString folder =
            *row.folder ? dir.filePath(QString::fromUtf8(row.folder)) : QString();

        SystemMediaStorage storage;
        EXPECT_EQ(storage.createFolder(folder), row.made) << row.what;
        if (!folder.isEmpty()) {
            EXPECT_EQ(QFileInfo(folder).isDir(), row.made) << row.what;
        }
        EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("file"))).isFile()) << row.what;
    }
}
