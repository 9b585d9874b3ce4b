// Copies kept against a crash, beyond what the window's test shows: a copy held by a
// running program is never taken or discarded by another, and a file where the folder
// should be makes no copy.

#include "recovery.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(Recovery, AHeldCopyIsNobodyElsesAndGoesWithItsHolder)
{
    const auto write_file = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write("kept") == 4;
    };
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("Recovery"));
    auto copy = RecoveryCopy::create(folder);
    ASSERT_TRUE(copy && write_file(copy->path()));
    EXPECT_TRUE(left_over_copies(folder).isEmpty());
    EXPECT_FALSE(RecoveryCopy::adopt(copy->path()) || discard_left_over_copy(copy->path()));
    copy.reset();
    const QString kept = QDir(folder).filePath(QStringLiteral("drawing-crashed.pavo"));
    ASSERT_TRUE(write_file(kept));
    EXPECT_EQ(left_over_copies(folder), QStringList{kept}) << "left by a crash";
    auto adopted = RecoveryCopy::adopt(kept);
    ASSERT_TRUE(adopted);
    EXPECT_FALSE(discard_left_over_copy(kept)) << "held by the window that adopted it";
    adopted.reset();
    EXPECT_FALSE(QFile::exists(kept));
    ASSERT_TRUE(write_file(kept));
    EXPECT_TRUE(discard_left_over_copy(kept) && !QFile::exists(kept));
    ASSERT_TRUE(write_file(kept));
    EXPECT_FALSE(RecoveryCopy::create(kept));
    EXPECT_TRUE(left_over_copies(kept).isEmpty());
}
