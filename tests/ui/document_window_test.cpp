// The desktop window: Qt's mouse, tablet, proximity and key events reach the document, the
// window shows the drawing's name and frame, and the menus follow the document.

#include "canvas_widget.h"
#include "document_window.h"
#include "event_replay.h"
#include "event_recorder.h"
#include "pictures.h"
#include "input_mapping.h"
#include "menu_manager.h"
#include "recovery.h"
#include "ui_test_support.h"
#include "window_frame.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QMouseEvent>
#include <QPainter>
#include <QPointingDevice>
#include <QTabletEvent>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// The two ends of one stylus, owned by the application like Qt's own devices.
QPointingDevice& stylus(QPointingDevice::PointerType end)
{
    const auto make = [](const char* name, qint64 id, QPointingDevice::PointerType type) {
        return new QPointingDevice(QString::fromLatin1(name), id, QInputDevice::DeviceType::Stylus, type,
                                   QInputDevice::Capability::Pressure, 1, 2, {},
                                   QPointingDeviceUniqueId::fromNumericId(42), &ensure_application());
    };
    static QPointingDevice* const tip = make("stylus", 7001, QPointingDevice::PointerType::Pen);
    static QPointingDevice* const eraser = make("stylus eraser", 7002, QPointingDevice::PointerType::Eraser);
    return end == QPointingDevice::PointerType::Eraser ? *eraser : *tip;
}

class Window : public ::testing::Test {
protected:
    PavoApplication& app = ensure_application();
    QPointer<DocumentWindow> window;
    CanvasWidget* canvas = nullptr;

    void SetUp() override
    {
        window = app.newDocument();
        ASSERT_TRUE(window);
        canvas = window->findChild<CanvasWidget*>();
        ASSERT_TRUE(canvas);
    }
    void TearDown() override
    {
        if (!window) return;
        // Drop the changes so that closing asks nothing.
        window->document().drawing().undoManager().removeAllActions();
        window->document().drawing().undoManager().markClean();
        (void)window->document().saveTo(dir.filePath(QStringLiteral("teardown.pavo")));
        window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void mouse(QEvent::Type type, QPointF at, Qt::KeyboardModifiers modifiers = {})
    {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent e(type, at, canvas->mapToGlobal(at), button, buttons, modifiers);
        QCoreApplication::sendEvent(canvas, &e);
    }
    void tablet(QEvent::Type type, QPointF at, qreal pressure,
                QPointingDevice::PointerType end = QPointingDevice::PointerType::Pen)
    {
        const Qt::MouseButton button = type == QEvent::TabletMove ? Qt::NoButton : Qt::LeftButton;
        const Qt::MouseButtons buttons = type == QEvent::TabletRelease ? Qt::NoButton : Qt::LeftButton;
        QTabletEvent e(type, &stylus(end), at, canvas->mapToGlobal(at), pressure, 0, 0, 0, 0, 0, {}, button, buttons);
        QCoreApplication::sendEvent(canvas, &e);
    }
    void proximity(QEvent::Type type, QPointingDevice::PointerType end)
    {
        QTabletEvent e(type, &stylus(end), {}, {}, 0, 0, 0, 0, 0, 0, {}, Qt::NoButton, Qt::NoButton);
        QCoreApplication::sendEvent(&app, &e);
    }
    // A mouse drag from x 100 to 200 along y.
    void stroke(double y)
    {
        mouse(QEvent::MouseButtonPress, {100, y});
        for (int x = 100; x <= 200; x += 10) mouse(QEvent::MouseMove, {double(x), y});
        mouse(QEvent::MouseButtonRelease, {200, y});
    }
    int strokes() { return window->document().strokes().count(); }
    QAction* item(const char* action) { return window->menus().action(QString::fromLatin1(action)); }

    QTemporaryDir dir;
};

TEST(InputMapping, LinuxKeysStandForTheMacModifiers)
{
    EXPECT_EQ(modifier_flags(Qt::ControlModifier), unsigned(kCommandKey));
    EXPECT_EQ(modifier_flags(Qt::AltModifier), unsigned(kOptionKey));
    EXPECT_EQ(modifier_flags(Qt::MetaModifier), unsigned(kControlKey));
    EXPECT_EQ(modifier_flags(Qt::ShiftModifier | Qt::KeypadModifier), unsigned(kShiftKey | kNumericPadKey));
    EXPECT_EQ(proximity_pointer_type(QPointingDevice::PointerType::Eraser), kPointerTypeEraser);
    EXPECT_EQ(proximity_pointer_type(QPointingDevice::PointerType::Pen), kPointerTypePen);
}

TEST_F(Window, TheMouseAndTheTabletDrawAndUndoByTheMenu)
{
    stroke(100);
    EXPECT_EQ(strokes(), 1);
    EXPECT_EQ(item("undo:")->text(), QStringLiteral("Undo Stroke"));
    EXPECT_TRUE(window->isWindowModified());

    // A light touch of the stylus draws thinner than the mouse, which presses fully.
    tablet(QEvent::TabletPress, {100, 300}, 0.2);
    for (int x = 100; x <= 300; x += 4) tablet(QEvent::TabletMove, {double(x), 300}, 0.2);
    tablet(QEvent::TabletRelease, {300, 300}, 0);
    ASSERT_EQ(strokes(), 2);
    const Rect pressed = window->document().strokes().strokeArray().front()->bounds();
    const Rect light = window->document().strokes().strokeArray().back()->bounds();
    EXPECT_LT(light.size.height, pressed.size.height * 0.5f);
    // Every tablet sample reaches the pen: 51 moves, none merged away this far apart.
    EXPECT_GT(light.size.width, 195);

    item("undo:")->trigger();
    EXPECT_EQ(strokes(), 1);
    EXPECT_EQ(item("redo:")->text(), QStringLiteral("Redo Stroke"));

    // Delete removes the topmost stroke.
    QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    QCoreApplication::sendEvent(canvas, &del);
    EXPECT_EQ(strokes(), 0);
}

// The application routes Qt's proximity events to every window's document.
TEST_F(Window, TheStylusEndsSwitchThePenType)
{
    proximity(QEvent::TabletEnterProximity, QPointingDevice::PointerType::Eraser);
    EXPECT_EQ(window->document().pen().penTypeName(), QStringLiteral("Eraser"));
    proximity(QEvent::TabletEnterProximity, QPointingDevice::PointerType::Pen);
    EXPECT_EQ(window->document().pen().penTypeName(), QStringLiteral("Pen"));
    // A press with the eraser end, with no proximity news before it, still counts.
    tablet(QEvent::TabletPress, {10, 10}, 0.5, QPointingDevice::PointerType::Eraser);
    tablet(QEvent::TabletRelease, {10, 10}, 0, QPointingDevice::PointerType::Eraser);
    EXPECT_EQ(window->document().pen().penTypeName(), QStringLiteral("Eraser"));
    proximity(QEvent::TabletEnterProximity, QPointingDevice::PointerType::Pen);
}

TEST_F(Window, MenusShowTheDocumentsSettings)
{
    window->document().perform(QStringLiteral("setPenType:"), QStringLiteral("Marker"));
    window->document().perform(QStringLiteral("penSize:"), QStringLiteral("12"));
    const auto checked = [this](const char* action, const QString& title) {
        const auto* menu = qobject_cast<QMenu*>(item(action)->parent());
        if (!menu) return false;
        for (QAction* a : menu->actions())
            if (a->isChecked()) return window->menus().title(a) == title;
        return false;
    };
    EXPECT_TRUE(checked("penSize:", QStringLiteral("12")));
    EXPECT_TRUE(checked("penTool:", QStringLiteral("Pen")));
    bool markerChecked = false;
    for (QAction* a : window->findChildren<QAction*>())
        if (a->isChecked() && window->menus().title(a) == u"Marker") markerChecked = true;
    EXPECT_TRUE(markerChecked);
}

TEST_F(Window, AFileOpensWithItsNameAndFrame)
{
    const QString path = dir.filePath(QStringLiteral("sea.pavo"));
    {
        Drawing drawing;
        ASSERT_TRUE(drawing.save(path, format_window_frame({30, 40, 640, 480}), std::nullopt));
    }
    app.openFiles({path});
    DocumentWindow* opened = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<DocumentWindow*>(w); d && d->document().fileName() == path) opened = d;
    ASSERT_TRUE(opened);
    EXPECT_TRUE(opened->windowTitle().startsWith(u"sea.pavo"));
    EXPECT_FALSE(opened->isWindowModified());
    EXPECT_EQ(opened->findChild<CanvasWidget*>()->size(), QSize(640, 480));
    // The frame it saves again names the drawing area.
    EXPECT_EQ(parse_window_frame(opened->windowFrame().value_or(QString())).value_or(WindowFrame{}).viewSize(),
              (Size{640, 480}));
    // Opening it again brings the same window forward.
    app.openFiles({path});
    int showing = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<DocumentWindow*>(w); d && d->isVisible() && d->document().fileName() == path) ++showing;
    EXPECT_EQ(showing, 1);
    opened->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

namespace {

TEST_F(Window, RecordedInputReplaysToTheSameDrawing)
{
    const QString script = dir.filePath(QStringLiteral("session.events"));
    auto recorder = EventRecorder::open(script);
    ASSERT_TRUE(recorder) << recorder.error().toStdString();
    app.setRecorder(std::move(*recorder));
    // The stylus comes near before anything touches the drawing.
    proximity(QEvent::TabletEnterProximity, QPointingDevice::PointerType::Pen);
    for (QAction* a : window->findChildren<QAction*>())
        if (window->menus().actionName(a) == u"setPenType:" && window->menus().title(a) == u"Marker") a->trigger();
    ASSERT_EQ(window->document().pen().penTypeName(), QStringLiteral("Marker"));
    window->menus().action(QStringLiteral("setRedColor:"))->trigger();
    tablet(QEvent::TabletPress, {100, 100}, 0.3);
    for (int i = 0; i <= 40; ++i) tablet(QEvent::TabletMove, {100.0 + 5 * i, 100.0 + 2 * i}, 0.3 + 0.015 * i);
    tablet(QEvent::TabletRelease, {300, 180}, 0);
    mouse(QEvent::MouseButtonPress, {50, 300});
    for (int x = 50; x <= 350; x += 15) mouse(QEvent::MouseMove, {double(x), 300}, Qt::ShiftModifier);
    mouse(QEvent::MouseButtonRelease, {350, 300});
    app.setRecorder(nullptr);

    // What the widget paints, over white where nothing is drawn.
    const QImage painted = canvas->grab().toImage();
    QFile file(script);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QString text = QString::fromUtf8(file.readAll());
    // The view's size comes first, or the replay would draw into another view.
    QStringList lines = text.split(u'\n', Qt::SkipEmptyParts);
    lines.removeIf([](const QString& l) { return l.startsWith(u'#'); });
    ASSERT_GE(lines.size(), 2);
    const QSize area = window->drawingAreaSize();
    EXPECT_EQ(lines[0], QStringLiteral("size %1 %2").arg(area.width()).arg(area.height()));
    EXPECT_TRUE(lines[1].startsWith(u"proximity enter tip")) << lines[1].toStdString();
    const QString replayed = dir.filePath(QStringLiteral("replayed.png"));
    text += QStringLiteral("export ") + replayed + u'\n';
    const Result<EventScript> parsed = parse_event_script(text);
    ASSERT_TRUE(parsed) << parsed.error().toStdString();
    QStringList messages;
    ASSERT_EQ(replay_event_script(*parsed, {}, [&](const QString& m) { messages << m; }), kReplayOk)
        << messages.join('\n').toStdString();
    QImage expected(painted.size(), QImage::Format_ARGB32_Premultiplied);
    expected.fill(Qt::white);
    QPainter(&expected).drawImage(0, 0, QImage(replayed));
    EXPECT_LE(largest_difference(painted, expected), 2);
    EXPECT_GT(pixels_differing(painted, QImage(painted.size(), QImage::Format_RGB32), 0), 1000) << "it drew";
}

} // namespace

namespace {

// Answers the next message box with `button`, and says what it asked.
void answer_next_message_box(QMessageBox::StandardButton button, QString* asked)
{
    QTimer::singleShot(0, [button, asked] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        if (asked) *asked = box->text();
        box->button(button)->click();
    });
}

TEST_F(Window, ClosingWithUnsavedChangesAsksAndAFailedSaveKeepsTheWindow)
{
    stroke(100);
    ASSERT_TRUE(window->document().isEdited());

    QString asked;
    answer_next_message_box(QMessageBox::Cancel, &asked);
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(asked.contains(u"save the changes")) << asked.toStdString();
    EXPECT_TRUE(window->isVisible());

    // A save into a folder that has gone away fails, says so, and keeps everything.
    QTemporaryDir gone;
    const QString path = gone.filePath(QStringLiteral("d.pavo"));
    ASSERT_TRUE(window->document().saveTo(path));
    stroke(200);
    ASSERT_TRUE(gone.remove());
    QString warned;
    answer_next_message_box(QMessageBox::Save, nullptr);
    QTimer::singleShot(50, [&warned] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        warned = box->text();
        box->button(QMessageBox::Ok)->click();
    });
    EXPECT_FALSE(window->close());
    EXPECT_FALSE(warned.isEmpty());
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->document().isEdited());
    EXPECT_EQ(strokes(), 2);
}

} // namespace

namespace {

TEST_F(Window, AnEditedDrawingIsCopiedAgainstACrashAndOfferedBack)
{
    QTemporaryDir folder;
    app.setRecoveryFolder(folder.path());
    window->keepRecoveryCopy();
    EXPECT_TRUE(QDir(folder.path()).entryList({QStringLiteral("*.pavo")}).isEmpty()) << "nothing to guard yet";

    stroke(100);
    window->keepRecoveryCopy();
    const QStringList copies = QDir(folder.path()).entryList({QStringLiteral("*.pavo")});
    ASSERT_EQ(copies.size(), 1);
    // Held by this window: not offered as left over.
    EXPECT_TRUE(left_over_copies(folder.path()).isEmpty());

    // As a crash would leave it: the copy without its window.
    const QString crashed = folder.filePath(QStringLiteral("drawing-left.pavo"));
    ASSERT_TRUE(QFile::copy(folder.filePath(copies.front()), crashed));
    ASSERT_TRUE(window->document().saveTo(dir.filePath(QStringLiteral("saved.pavo"))));
    window->keepRecoveryCopy();
    EXPECT_FALSE(QFile::exists(folder.filePath(copies.front()))) << "a saved drawing needs no copy";

    answer_next_message_box(QMessageBox::Open, nullptr);
    app.offerRecovery();
    DocumentWindow* recovered = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<DocumentWindow*>(w); d && d != window && d->isVisible() && d->document().isEdited())
            recovered = d;
    ASSERT_TRUE(recovered);
    EXPECT_EQ(recovered->document().strokes().count(), 1);
    EXPECT_FALSE(recovered->document().fileName());
    EXPECT_TRUE(left_over_copies(folder.path()).isEmpty()) << "the new window holds it";

    answer_next_message_box(QMessageBox::Discard, nullptr);
    EXPECT_TRUE(recovered->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(QFile::exists(crashed)) << "given up, the copy goes";
    app.setRecoveryFolder(default_recovery_folder());
}

} // namespace
