// The ui tests run inside the program's own application object, offscreen, made before the
// first test and destroyed after the last, while Qt's own globals still exist.

#include "pavo_application.h"

#include <QStandardPaths>

#include <gtest/gtest.h>

int main(int argc, char* argv[])
{
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true); // settings kept away from the user's
    PavoApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
