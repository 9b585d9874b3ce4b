#include "resources.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Puts $PAVO_RESOURCES back as it was, so that the other tests of this executable see the
// environment they were started with.
class EnvironmentRestorer
{
public:
    EnvironmentRestorer() : _was_set(qEnvironmentVariableIsSet("PAVO_RESOURCES")), _value(qgetenv("PAVO_RESOURCES")) {}
    ~EnvironmentRestorer()
    {
        if (_was_set) qputenv("PAVO_RESOURCES", _value);
        else qunsetenv("PAVO_RESOURCES");
    }
    EnvironmentRestorer(const EnvironmentRestorer&) = delete;
    EnvironmentRestorer& operator=(const EnvironmentRestorer&) = delete;

private:
    const bool _was_set;
    const QByteArray _value;
};

} // namespace

TEST(Resources, AnInstallIsFoundBesideItsExecutableOnlyWhenItHoldsThePens)
{
    const QTemporaryDir prefix;
    ASSERT_TRUE(prefix.isValid());
    const QDir root(prefix.path());
    ASSERT_TRUE(root.mkpath(QStringLiteral("bin")));
    const QString bin = root.filePath(QStringLiteral("bin"));
    const QString data = root.filePath(QStringLiteral("share/pavo"));

    // A data folder without pen scripts is not an install.
    ASSERT_TRUE(root.mkpath(QStringLiteral("share/pavo")));
    EXPECT_FALSE(installed_resource_path(bin));

    // Nor is one where "Pens" is a file.
    {
        QFile notAFolder(data + QStringLiteral("/Pens"));
        ASSERT_TRUE(notAFolder.open(QIODevice::WriteOnly));
    }
    EXPECT_FALSE(installed_resource_path(bin));
    ASSERT_TRUE(QFile::remove(data + QStringLiteral("/Pens")));

    ASSERT_TRUE(root.mkpath(QStringLiteral("share/pavo/Pens")));
    const auto found = installed_resource_path(bin);
    ASSERT_TRUE(found);
    // The path goes into LUA_PATH and the help links, so it comes without "..".
    EXPECT_FALSE(found->contains(QStringLiteral("..")));
    EXPECT_EQ(QFileInfo(*found).canonicalFilePath(), QFileInfo(data).canonicalFilePath());

    // The lookup is relative to the executable's folder: the prefix itself is not one.
    EXPECT_FALSE(installed_resource_path(prefix.path()));
    EXPECT_FALSE(installed_resource_path(QString()));
    EXPECT_FALSE(installed_resource_path(root.filePath(QStringLiteral("no/such/bin"))));
}

TEST(Resources, TheEnvironmentWinsAndTheBuildTreeIsTheFallback)
{
    const EnvironmentRestorer restorer;
    const QTemporaryDir elsewhere;
    ASSERT_TRUE(elsewhere.isValid());

    qputenv("PAVO_RESOURCES", QFile::encodeName(elsewhere.path()));
    EXPECT_EQ(resource_path(), elsewhere.path());

    // An empty value counts as unset. The test runs from the build tree, which has no
    // install beside it, so the source tree's resources answer, pens included.
    qputenv("PAVO_RESOURCES", QByteArray());
    const QString fallback = resource_path();
    EXPECT_NE(fallback, elsewhere.path());
    EXPECT_TRUE(QFileInfo(fallback + QStringLiteral("/Pens/pen.lua")).isFile()) << qPrintable(fallback);

    qunsetenv("PAVO_RESOURCES");
    EXPECT_EQ(resource_path(), fallback);
}
