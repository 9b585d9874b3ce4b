// Copies kept against a crash: held while their drawing is open, gone when it is saved or
// closed, offered back when an earlier session left them behind.

#include "recovery.h"

#include "replay.h"

#include <QDir>
#include <QFile>
#include <QPainterPath>
#include <QTemporaryDir>

#include <gtest/gtest.h>

static bool write_file(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("kept") == 4;
}

TEST(Recovery, ACopyIsHeldWhileItsDrawingIsOpenAndGoesWithIt)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("Recovery"));
    auto copy = RecoveryCopy::create(folder);
    ASSERT_TRUE(copy && write_file(copy->path()));
    auto second = RecoveryCopy::create(folder);
    ASSERT_TRUE(second && second->path() != copy->path());

    // Held by a running program: not left over, and nobody else takes it.
    EXPECT_TRUE(left_over_copies(folder).isEmpty());
    EXPECT_FALSE(RecoveryCopy::adopt(copy->path()));
    EXPECT_FALSE(discard_left_over_copy(copy->path()));

    const QString path = copy->path();
    copy.reset();
    EXPECT_FALSE(QFile::exists(path)) << "a saved or closed drawing leaves no copy";

    // A program that crashed left its copy behind, without a live lock.
    second.reset();
    const QString kept = QDir(folder).filePath(QStringLiteral("drawing-crashed.pavo"));
    ASSERT_TRUE(write_file(kept));
    EXPECT_EQ(left_over_copies(folder), QStringList{kept});
    auto adopted = RecoveryCopy::adopt(kept);
    ASSERT_TRUE(adopted);
    EXPECT_TRUE(left_over_copies(folder).isEmpty());
    EXPECT_FALSE(discard_left_over_copy(kept)) << "held by the window that adopted it";
    adopted.reset();
    EXPECT_FALSE(QFile::exists(kept));
    ASSERT_TRUE(write_file(kept));
    EXPECT_TRUE(discard_left_over_copy(kept));
    EXPECT_FALSE(QFile::exists(kept));

    // A file where the folder should be: no copy, and nothing left over.
    ASSERT_TRUE(write_file(kept));
    EXPECT_FALSE(RecoveryCopy::create(kept));
    EXPECT_TRUE(left_over_copies(kept).isEmpty());
}

TEST(Recovery, ACopyOfADrawingLeavesItUnsavedAndComesBackUntitled)
{
    QTemporaryDir dir;
    DocumentShell shell;
    Headless headless;
    auto doc = headless.open(shell);
    ASSERT_TRUE(doc);
    const QString saved = dir.filePath(QStringLiteral("d.pavo")), copy = dir.filePath(QStringLiteral("copy.pavo"));
    ASSERT_TRUE(doc->saveTo(saved));
    QPainterPath square;
    square.addRect(10, 10, 50, 50);
    doc->drawing().addStroke(Stroke::withPath(Path(square), Qt::blue, kModeNormal, 1.0f));
    doc->backgroundColorChanged(Qt::yellow);
    ASSERT_TRUE(doc->writeCopy(copy));
    EXPECT_TRUE(doc->isEdited() && doc->fileName() == saved);

    auto recovered = headless.open(shell);
    ASSERT_TRUE(recovered->readRecovered(copy));
    EXPECT_TRUE(!recovered->fileName() && recovered->isEdited());
    EXPECT_EQ(recovered->strokes().count(), 1);
    EXPECT_EQ(recovered->backgroundColor(), QColor(Qt::yellow));
}
