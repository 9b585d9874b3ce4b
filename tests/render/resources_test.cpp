#include "resources.h"

#include <QtCore>
#include <gtest/gtest.h>

// An install is bin/ beside share/pavo/, and counts only when it holds a Pens folder.
TEST(Resources, AnInstallIsFoundBesideItsExecutableOnlyWhenItHoldsThePens)
{
    const QTemporaryDir prefix;
    const QDir root(prefix.path());
    const QString bin = root.filePath("bin"), data = root.filePath("share/pavo");
    ASSERT_TRUE(prefix.isValid() && root.mkpath("bin") && root.mkpath("share/pavo"));
    QFile not_a_folder(data + "/Pens");
    ASSERT_TRUE(not_a_folder.open(QIODevice::WriteOnly));
    EXPECT_FALSE(installed_resource_path(bin)); // "Pens" is a file
    ASSERT_TRUE(not_a_folder.remove() && root.mkpath("share/pavo/Pens"));
    const auto found = installed_resource_path(bin);
    ASSERT_TRUE(found);
    // The path goes into LUA_PATH and the help links, so it comes without "..".
    EXPECT_FALSE(found->contains(".."));
    EXPECT_EQ(QFileInfo(*found).canonicalFilePath(), QFileInfo(data).canonicalFilePath());
    for (const QString& elsewhere : {prefix.path(), QString(), root.filePath("no/such/bin")})
        EXPECT_FALSE(installed_resource_path(elsewhere)) << elsewhere.toStdString();
}
