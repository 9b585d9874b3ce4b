// The ui tests run inside the program's own application object, offscreen, made before the
// first test and destroyed after the last, while Qt's own globals still exist.

#include "pavo_application.h"

#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char* argv[])
{
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true); // settings kept away from the user's
    // and from every other test process: ctest runs them side by side, and a dock hidden in
    // one would start hidden in the next.
    const QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    PavoApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
