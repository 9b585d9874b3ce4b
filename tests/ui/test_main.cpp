// The ui tests run inside the program's own application object, offscreen, made before the
// first test and destroyed after the last, while Qt's own globals still exist.

#include "pavo_application.h"
#include "pavo_settings.h"

#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// What one test leaves in the settings (a pen type, a window size) is no start for the next.
class ForgetSettings final : public ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo&) override { PavoSettings().reset(); }
};

} // namespace

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
    ::testing::UnitTest::GetInstance()->listeners().Append(new ForgetSettings);
    return RUN_ALL_TESTS();
}
