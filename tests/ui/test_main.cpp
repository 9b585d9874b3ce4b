// The ui tests run inside the program's own application object, offscreen, made before the
// first test and destroyed after the last, while Qt's own globals still exist.

#include "pavo_application.h"
#include "pavo_settings.h"

#include <QtWidgets>

#include <gtest/gtest.h>

namespace {

// What one test leaves in the settings (a pen type, a window size) is no start for the next.
class ForgetSettings final : public ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo&) override { PavoSettings().reset(); }
};

// A box nobody answers would wait for ever offscreen: after a while it fails the test,
// saying what it asked, and is closed.
void closeForgottenBoxes(QTimer& timer)
{
    auto open = std::make_shared<std::pair<QPointer<QWidget>, QDeadlineTimer>>();
    QObject::connect(&timer, &QTimer::timeout, [open] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal != open->first) *open = {modal, QDeadlineTimer(20'000)};
        if (!modal || !open->second.hasExpired()) return;
        const auto* box = qobject_cast<QMessageBox*>(modal);
        ADD_FAILURE() << "a box was left open: " << (box ? box->text() : modal->windowTitle()).toStdString();
        modal->close();
    });
    timer.start(250);
}

} // namespace

int main(int argc, char* argv[])
{
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // A home of its own, for settings, user pens and recovery copies: ctest runs test
    // processes side by side, and a pen script or a dock left by one would reach the next.
    const QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    qunsetenv("XDG_DATA_HOME");
    qunsetenv("XDG_CONFIG_HOME");
    QStandardPaths::setTestModeEnabled(true);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home.path());
    PavoApplication application(argc, argv);
    QTimer watchdog;
    closeForgottenBoxes(watchdog);
    ::testing::UnitTest::GetInstance()->listeners().Append(new ForgetSettings);
    return RUN_ALL_TESTS();
}
