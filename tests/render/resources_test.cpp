#include "resources.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(Resources, AnInstallIsFoundBesideItsExecutableOnlyWhenItHoldsThePens)
{
    const QTemporaryDir prefix;
    ASSERT_TRUE(prefix.isValid());
    const QDir root(prefix.path());
    const QString bin = root.filePath(QStringLiteral("bin")),
                  data = root.filePath(QStringLiteral("share/pavo"));
    ASSERT_TRUE(root.mkpath(QStringLiteral("bin")) && root.mkpath(QStringLiteral("share/pavo")));
    EXPECT_FALSE(installed_resource_path(bin)); // a data folder without pen scripts
    QFile not_a_folder(data + QStringLiteral("/Pens"));
    ASSERT_TRUE(not_a_folder.open(QIODevice::WriteOnly));
    EXPECT_FALSE(installed_resource_path(bin)); // nor one where "Pens" is a file
    ASSERT_TRUE(not_a_folder.remove() && root.mkpath(QStringLiteral("share/pavo/Pens")));
    const auto found = installed_resource_path(bin);
    ASSERT_TRUE(found);
    // The path goes into LUA_PATH and the help links, so it comes without "..".
    EXPECT_FALSE(found->contains(QStringLiteral("..")));
    EXPECT_EQ(QFileInfo(*found).canonicalFilePath(), QFileInfo(data).canonicalFilePath());
    // The lookup is relative to the executable's folder.
    for (const QString& elsewhere :
         {prefix.path(), QString(), root.filePath(QStringLiteral("no/such/bin"))})
        EXPECT_FALSE(installed_resource_path(elsewhere)) << elsewhere.toStdString();
}

TEST(Resources, TheEnvironmentWinsAndTheBuildTreeIsTheFallback)
{
    const bool was_set = qEnvironmentVariableIsSet("PAVO_RESOURCES");
    const QByteArray was = qgetenv("PAVO_RESOURCES");
    const QTemporaryDir elsewhere;
    ASSERT_TRUE(elsewhere.isValid());
    qputenv("PAVO_RESOURCES", QFile::encodeName(elsewhere.path()));
    EXPECT_EQ(resource_path(), elsewhere.path());
    // An empty value counts as unset. The test runs from the build tree, which has no
    // install beside it, so the source tree's resources answer, pens included.
    qputenv("PAVO_RESOURCES", QByteArray());
    const QString fallback = resource_path();
    EXPECT_TRUE(QFileInfo(fallback + QStringLiteral("/Pens/pen.lua")).isFile())
        << qPrintable(fallback);
    qunsetenv("PAVO_RESOURCES");
    EXPECT_EQ(resource_path(), fallback);
    if (was_set) qputenv("PAVO_RESOURCES", was); // as the other tests of this executable expect
}
