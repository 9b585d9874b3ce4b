#include "resources.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// An install is bin/ beside share/pavo/, and counts only when it holds a Pens folder.
TEST(Resources, AnInstallIsFoundBesideItsExecutableOnlyWhenItHoldsThePens)
{
    const QTemporaryDir prefix;
    const QDir root(prefix.path());
    const QString bin = root.filePath("bin"), data = root.filePath("share/pavo");
    ASSERT_TRUE(prefix.isValid() && root.mkpath("bin") && root.mkpath("share/pavo"));
    EXPECT_FALSE(installed_resource_path(bin)); // a data folder without pen scripts
    QFile not_a_folder(data + "/Pens");
    ASSERT_TRUE(not_a_folder.open(QIODevice::WriteOnly));
    EXPECT_FALSE(installed_resource_path(bin)); // nor one where "Pens" is a file
    ASSERT_TRUE(not_a_folder.remove() && root.mkpath("share/pavo/Pens"));
    const auto found = installed_resource_path(bin);
    ASSERT_TRUE(found);
    // The path goes into LUA_PATH and the help links, so it comes without "..".
    EXPECT_FALSE(found->contains(".."));
    EXPECT_EQ(QFileInfo(*found).canonicalFilePath(), QFileInfo(data).canonicalFilePath());
    for (const QString& elsewhere : {prefix.path(), QString(), root.filePath("no/such/bin")})
        EXPECT_FALSE(installed_resource_path(elsewhere)) << elsewhere.toStdString();
}

// The environment wins; empty counts as unset. The test runs from the build tree, which has
// no install beside it, so the source tree's resources answer, pens included.
TEST(Resources, TheEnvironmentWinsAndTheBuildTreeIsTheFallback)
{
    const bool was_set = qEnvironmentVariableIsSet("PAVO_RESOURCES");
    const QByteArray was = qgetenv("PAVO_RESOURCES");
    const QTemporaryDir elsewhere;
    qputenv("PAVO_RESOURCES", QFile::encodeName(elsewhere.path()));
    EXPECT_EQ(resource_path(), elsewhere.path());
    qputenv("PAVO_RESOURCES", QByteArray());
    const QString fallback = resource_path();
    EXPECT_TRUE(QFileInfo(fallback + "/Pens/pen.lua").isFile()) << qPrintable(fallback);
    qunsetenv("PAVO_RESOURCES");
    EXPECT_EQ(resource_path(), fallback);
    if (was_set) qputenv("PAVO_RESOURCES", was); // as the other tests of this executable expect
}
