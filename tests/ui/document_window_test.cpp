// The desktop window: Qt's mouse, tablet, proximity, key and drop events reach the document,
// the pen's outline follows the pointer, the window shows the drawing's name and frame, and
// the menus follow the document.

#include "canvas_widget.h"
#include "document_window.h"
#include "event_recorder.h"
#include "event_replay.h"
#include "menu_manager.h"
#include "modal_answers.h"
#include "pavo_application.h"
#include "pictures.h"
#include "recovery.h"
#include "rows.h"
#include "support/strokes.h"

#include <QtWidgets>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>

namespace {

using End = QPointingDevice::PointerType;

// The two ends of one stylus, owned by the application like Qt's own devices.
QPointingDevice& stylus(End end)
{
    const auto make = [](const char* name, qint64 id, End type) {
        return new QPointingDevice(QString::fromLatin1(name), id, QInputDevice::DeviceType::Stylus,
                                   type, QInputDevice::Capability::Pressure, 1, 2, {},
                                   QPointingDeviceUniqueId::fromNumericId(42), qApp);
    };
    static QPointingDevice* const ends[] = {make("stylus", 7001, End::Pen),
                                            make("stylus eraser", 7002, End::Eraser)};
    return *ends[end == End::Eraser];
}

class Window : public ::testing::Test {
protected:
    PavoApplication& app = *PavoApplication::instance();
    QTemporaryDir dir;
    QPointer<DocumentWindow> window = app.newDocument();
    CanvasWidget* canvas = window ? window->findChild<CanvasWidget*>() : nullptr;

    void SetUp() override { ASSERT_TRUE(window && canvas); }
    void TearDown() override
    {
        if (!window) return;
        // Saved, so that closing asks nothing.
        (void)window->document().saveTo(dir.filePath(QStringLiteral("teardown.pavo")));
        window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void mouse(QEvent::Type type, QPointF at, Qt::KeyboardModifiers modifiers = {}, Qt::MouseButton which = Qt::LeftButton)
    {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : which;
        QMouseEvent e(type, at, canvas->mapToGlobal(at), button,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : which, modifiers);
        QCoreApplication::sendEvent(canvas, &e);
    }
    void tablet(QEvent::Type type, QPointF at, qreal pressure, End end = End::Pen)
    {
        const Qt::MouseButton button = type == QEvent::TabletMove ? Qt::NoButton : Qt::LeftButton;
        QTabletEvent e(type, &stylus(end), at, canvas->mapToGlobal(at), pressure, 0, 0, 0, 0, 0, {},
                       button, type == QEvent::TabletRelease ? Qt::NoButton : Qt::LeftButton);
        QCoreApplication::sendEvent(canvas, &e);
    }
    void proximity(End end)
    {
        QTabletEvent e(QEvent::TabletEnterProximity, &stylus(end), {}, {}, 0, 0, 0, 0, 0, 0, {},
                       Qt::NoButton, Qt::NoButton);
        QCoreApplication::sendEvent(&app, &e);
    }
    // A mouse drag from x 100 to 200 along y.
    void stroke(double y)
    {
        mouse(QEvent::MouseButtonPress, {100, y});
        for (int x = 100; x <= 200; x += 10) mouse(QEvent::MouseMove, {double(x), y});
        mouse(QEvent::MouseButtonRelease, {200, y});
    }
    void send(QEvent&& e) { QCoreApplication::sendEvent(canvas, &e); }
    void key(QEvent::Type type, int key, Qt::KeyboardModifiers modifiers = {}) { send(QKeyEvent(type, key, modifiers)); }
    // Records the input, checks that the recording replays to what the widget paints
    // (grabbed, over white), and returns the recording.
    QString recordAndReplay(const std::function<void()>& input)
    {
        const QString script = dir.filePath(QStringLiteral("session.events"));
        auto recorder = EventRecorder::open(script);
        EXPECT_TRUE(recorder);
        if (!recorder) return {};
        app.setRecorder(std::move(*recorder));
        input();
        app.setRecorder(nullptr);
        const QImage shown = canvas->grab().toImage();
        const QString recorded = QString::fromUtf8(file_bytes(script));
        const QString replayed = dir.filePath(QStringLiteral("replayed.png"));
        const Result<EventScript> parsed = parse_event_script(recorded + "export " + replayed);
        QStringList messages;
        EXPECT_TRUE(parsed && replay_event_script(*parsed, {}, [&](const QString& m) { messages << m; }) == kReplayOk)
            << (parsed ? messages.join('\n') : parsed.error()).toStdString();
        const QImage expected = painted(shown.size(), Qt::white, [&](QPainter& p) { p.drawImage(0, 0, QImage(replayed)); });
        EXPECT_LE(largest_difference(shown, expected), 2);
        EXPECT_GT(pixels_differing(shown, painted(shown.size(), Qt::white, {}), 0), 500) << "something was drawn";
        return recorded;
    }
    int strokes() { return window->document().strokes().count(); }
    QAction* item(const char* action) { return window->menus().action(QLatin1String(action)); }
    QString penType() { return window->document().pen().penTypeName().value_or(QString()); }
};

TEST_F(Window, TheMouseAndTheTabletDrawAndUndoByTheMenu)
{
    stroke(100);
    EXPECT_TRUE(strokes() == 1 && window->isWindowModified());
    EXPECT_EQ(item("undo:")->text(), QStringLiteral("Undo Stroke"));
    // A light touch of the stylus draws thinner than the mouse, which presses fully.
    tablet(QEvent::TabletPress, {100, 300}, 0.2);
    for (int x = 100; x <= 300; x += 4) tablet(QEvent::TabletMove, {double(x), 300}, 0.2);
    tablet(QEvent::TabletRelease, {300, 300}, 0);
    ASSERT_EQ(strokes(), 2);
    const Rect pressed = window->document().strokes().strokeArray().front()->bounds();
    const Rect light = window->document().strokes().strokeArray().back()->bounds();
    EXPECT_LT(light.size.height, pressed.size.height * 0.5f);
    EXPECT_GT(light.size.width, 195) << "every tablet sample reaches the pen";
    item("undo:")->trigger();
    EXPECT_TRUE(strokes() == 1 && item("redo:")->text() == u"Redo Stroke");
    QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    QCoreApplication::sendEvent(canvas, &del);
    EXPECT_EQ(strokes(), 0) << "delete removes the topmost stroke";
}

// Run by a test entry of its own with QT_SCALE_FACTOR=2 (see CMakeLists.txt).
TEST_F(Window, OnADenseScreenTheDrawingShowsAtDevicePixelsInAnUnchangedFrame)
{
    if (qEnvironmentVariable("QT_SCALE_FACTOR") != u"2") GTEST_SKIP() << "needs QT_SCALE_FACTOR=2";
    window->show();
    QCoreApplication::processEvents();
    ASSERT_EQ(canvas->devicePixelRatioF(), 2.0);
    PavoView& view = window->document().view();
    view.endLiveResize(); // the window's first layout
    window->document().drawing().addStroke(fill_stroke(make_rect(20.3f, 20, 100, 50), Qt::red));
    const QImage shown = canvas->grab().toImage();
    const QSize area = canvas->size();
    EXPECT_EQ(view.canvasForReading().size(), (Size{float(2 * area.width()), float(2 * area.height())}));
    ASSERT_EQ(shown.size(), area * 2);
    int blended = 0;
    for (int x = 0; x < shown.width(); ++x)
        blended += shown.pixelColor(x, 60) != Qt::white && shown.pixelColor(x, 60) != Qt::red;
    EXPECT_EQ(blended, 2) << "one device pixel at each edge";
    // The frame and the view keep view pixels.
    EXPECT_EQ(view.size(), (Size{float(area.width()), float(area.height())}));
    EXPECT_TRUE(window->windowFrame()->endsWith(QStringLiteral(" %1 %2").arg(area.width()).arg(area.height())));
}

// The application routes Qt's proximity events to every window's document; a press with
// the eraser end, with no proximity news before it, still counts.
TEST_F(Window, TheStylusEndsSwitchThePenType)
{
    tablet(QEvent::TabletPress, {10, 10}, 0.5, End::Eraser);
    tablet(QEvent::TabletRelease, {10, 10}, 0, End::Eraser);
    EXPECT_EQ(penType(), QStringLiteral("Eraser"));
    proximity(End::Pen);
    EXPECT_EQ(penType(), QStringLiteral("Pen"));
}

// Reload Pen Types reads the scripts in the data folder again, for the pen and the menus.
TEST_F(Window, ReloadPenTypesFindsNewScriptsAndLosesGoneOnes)
{
    const QString pens = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) + QStringLiteral("/Pens");
    ASSERT_TRUE(QDir().mkpath(pens));
    QFile script(pens + QStringLiteral("/slate.lua"));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("name = 'Slate'\n");
    script.close();
    const auto shown = [this] {
        const QList<QAction*> items = window->findChildren<QAction*>();
        return std::count_if(items.begin(), items.end(), [](const QAction* a) { return a->text() == u"Slate"; });
    };
    EXPECT_EQ(shown(), 0);
    item("reloadPenTypes:")->trigger();
    EXPECT_TRUE(window->document().pen().hasPenType(QStringLiteral("Slate")));
    EXPECT_GT(shown(), 0);
    ASSERT_TRUE(script.remove());
    item("reloadPenTypes:")->trigger();
    EXPECT_FALSE(window->document().pen().hasPenType(QStringLiteral("Slate")));
    EXPECT_EQ(shown(), 0);
}

// What the widget paints (grabbed, over white) matches the replay of what was recorded.
TEST_F(Window, RecordedInputReplaysToTheSameDrawing)
{
    const QString recorded = recordAndReplay([this] {
        proximity(End::Pen);
        for (QAction* a : window->findChildren<QAction*>())
            if (window->menus().actionName(a) == u"setPenType:" && window->menus().title(a) == u"Marker") {
                a->trigger();
                EXPECT_TRUE(a->isChecked()) << "the document ticks its pen type";
            }
        ASSERT_EQ(penType(), QStringLiteral("Marker"));
        item("setRedColor:")->trigger();
        tablet(QEvent::TabletPress, {100, 100}, 0.3);
        for (int i = 0; i <= 40; ++i)
            tablet(QEvent::TabletMove, {100.0 + 5 * i, 100.0 + 2 * i}, 0.3 + 0.015 * i);
        tablet(QEvent::TabletRelease, {300, 180}, 0);
        mouse(QEvent::MouseButtonPress, {50, 300});
        for (int x = 50; x <= 350; x += 15) mouse(QEvent::MouseMove, {double(x), 300}, Qt::ShiftModifier);
        mouse(QEvent::MouseButtonRelease, {350, 300});
    });
    // The view's size comes first, or the replay would draw into another view.
    const QSize area = window->drawingAreaSize();
    EXPECT_TRUE(recorded.contains(QStringLiteral("\nsize %1 %2\nproximity enter tip").arg(area.width()).arg(area.height())));
}

// The wheel, the touchpad, the middle button, Space and the keys are recorded and replay to
// the same picture; ] moves the Size menu's check mark along, and Ctrl+Y redoes.
TEST_F(Window, NavigationIsRecordedAndReplaysTheSame)
{
    const auto wheel = [this](QPointF at, QPoint pixels, QPoint angle, Qt::KeyboardModifiers modifiers) {
        send(QWheelEvent(at, canvas->mapToGlobal(at), pixels, angle, Qt::NoButton, modifiers, Qt::NoScrollPhase, false));
    };
    const QString recorded = recordAndReplay([&] {
        stroke(100);
        wheel({150, 100}, {}, {0, 240}, Qt::ControlModifier);
        wheel({0, 0}, {-30, 7}, {-90, 20}, {});
        wheel({150, 100}, {}, {0, 120}, Qt::ControlModifier | Qt::ShiftModifier);
        send(QNativeGestureEvent(Qt::ZoomNativeGesture, QPointingDevice::primaryPointingDevice(), 2, {200, 150},
                                 {200, 150}, canvas->mapToGlobal(QPointF(200, 150)), -0.25, {}));
        mouse(QEvent::MouseButtonPress, {300, 300}, {}, Qt::MiddleButton);
        mouse(QEvent::MouseMove, {330, 320}, {}, Qt::MiddleButton);
        mouse(QEvent::MouseButtonRelease, {330, 320}, {}, Qt::MiddleButton);
        key(QEvent::KeyPress, Qt::Key_Space);
        stroke(200);
        key(QEvent::KeyRelease, Qt::Key_Space);
        key(QEvent::KeyPress, Qt::Key_BracketRight);
        key(QEvent::KeyPress, Qt::Key_Down);
        stroke(250);
    });
    EXPECT_EQ(strokes(), 2) << "the hand drew nothing";
    for (const char* line : {"\nwheel 150 100 0 2 command\n", "\nwheel 0 0 -0.625 0.14583333\n", "\nwheel 150 100 0 1 shift,command\n",
                             "\npinch 200 150 0.75\n", "\ndown 300 300 middle\n", "\nkeydown space\n", "\nkeyup space\n",
                             "\nkey bracketright\n", "\nkey down\n"})
        EXPECT_TRUE(recorded.contains(QLatin1String(line))) << line;
    for (QAction* a : window->findChildren<QAction*>()) {
        if (window->menus().actionName(a) == u"penSize:") {
            EXPECT_EQ(a->isChecked(), window->menus().title(a) == u"4") << window->menus().title(a).toStdString();
        }
    }
    EXPECT_TRUE(item("redo:")->shortcuts().contains(QKeySequence(Qt::CTRL | Qt::Key_Y)));
}

// Closing asks about unsaved changes; a save into a folder that has gone away fails, says
// so, and keeps the window and the drawing.
TEST_F(Window, ClosingWithUnsavedChangesAsksAndAFailedSaveKeepsTheWindow)
{
    stroke(100);
    QString asked, warned;
    answer_message_box(QMessageBox::Cancel, &asked);
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(asked.contains(u"save the changes") && window->isVisible()) << asked.toStdString();
    QTemporaryDir gone;
    ASSERT_TRUE(window->document().saveTo(gone.filePath(QStringLiteral("d.pavo"))));
    stroke(200);
    ASSERT_TRUE(gone.remove());
    answer_message_box(QMessageBox::Save);
    answer_message_box(QMessageBox::Ok, &warned, 50);
    EXPECT_FALSE(window->close());
    EXPECT_FALSE(warned.isEmpty());
    EXPECT_TRUE(window->isVisible() && window->document().isEdited() && strokes() == 2);
}

// The copy leaves its drawing unsaved, goes once the drawing is saved, and a copy left by
// a crash comes back untitled in a window that holds it until it is given up.
TEST_F(Window, AnEditedDrawingIsCopiedAgainstACrashAndOfferedBack)
{
    QTemporaryDir folder;
    const auto copies = [&] { return QDir(folder.path()).entryList({QStringLiteral("*.pavo")}); };
    app.setRecoveryFolder(folder.path());
    window->keepRecoveryCopy();
    EXPECT_TRUE(copies().isEmpty()) << "nothing to guard yet";
    stroke(100);
    window->document().backgroundColorChanged(Qt::yellow);
    window->keepRecoveryCopy();
    ASSERT_EQ(copies().size(), 1);
    EXPECT_TRUE(left_over_copies(folder.path()).isEmpty() && window->document().isEdited());
    const QString copy = folder.filePath(copies().front());
    const QString crashed = folder.filePath(QStringLiteral("drawing-left.pavo"));
    ASSERT_TRUE(QFile::copy(copy, crashed));
    ASSERT_TRUE(window->document().saveTo(dir.filePath(QStringLiteral("saved.pavo"))));
    window->keepRecoveryCopy();
    EXPECT_FALSE(QFile::exists(copy)) << "a saved drawing needs no copy";

    answer_message_box(QMessageBox::Open);
    app.offerRecovery();
    DocumentWindow* recovered = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<DocumentWindow*>(w); d && d != window && d->document().isEdited())
            recovered = d;
    ASSERT_TRUE(recovered);
    PavoDocument& doc = recovered->document();
    EXPECT_TRUE(doc.strokes().count() == 1 && !doc.fileName());
    EXPECT_EQ(doc.backgroundColor(), QColor(Qt::yellow));
    EXPECT_TRUE(left_over_copies(folder.path()).isEmpty()) << "the new window holds it";
    answer_message_box(QMessageBox::Discard);
    EXPECT_TRUE(recovered->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(QFile::exists(crashed)) << "given up, the copy goes";
    app.setRecoveryFolder(default_recovery_folder());
}

// Beyond what the window shows: a copy held by a running program is never taken or
// discarded by another, and a file where the folder should be makes no copy.
TEST(Recovery, AHeldCopyIsNobodyElsesAndGoesWithItsHolder)
{
    const auto write_file = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write("kept") == 4;
    };
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("Recovery"));
    auto copy = RecoveryCopy::create(folder);
    ASSERT_TRUE(copy && write_file(copy->path()));
    EXPECT_TRUE(left_over_copies(folder).isEmpty());
    EXPECT_FALSE(RecoveryCopy::adopt(copy->path()) || discard_left_over_copy(copy->path()));
    copy.reset();
    const QString kept = QDir(folder).filePath(QStringLiteral("drawing-crashed.pavo"));
    ASSERT_TRUE(write_file(kept));
    EXPECT_EQ(left_over_copies(folder), QStringList{kept}) << "left by a crash";
    auto adopted = RecoveryCopy::adopt(kept);
    ASSERT_TRUE(adopted);
    EXPECT_FALSE(discard_left_over_copy(kept)) << "held by the window that adopted it";
    adopted.reset();
    EXPECT_FALSE(QFile::exists(kept));
    ASSERT_TRUE(write_file(kept));
    EXPECT_TRUE(discard_left_over_copy(kept) && !QFile::exists(kept));
    ASSERT_TRUE(write_file(kept));
    EXPECT_FALSE(RecoveryCopy::create(kept));
    EXPECT_TRUE(left_over_copies(kept).isEmpty());
}

void drop(QWidget& target, const QMimeData& data, QPointF at)
{
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&target, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&target, &dropped);
}

// Files dropped on the drawing area are placed where they are let go; an address on another
// computer is refused with a message, and nothing is downloaded.
TEST_F(Window, FilesArePlacedWhereLetGoAndARemoteAddressIsRefused)
{
    PavoDocument& document = window->document();
    QImage picture(40, 20, QImage::Format_ARGB32);
    picture.fill(Qt::blue);
    ASSERT_TRUE(picture.save(dir.filePath(QStringLiteral("p.png"))));
    Drawing square;
    square.addStroke(fill_stroke(make_rect(0, 0, 100, 100), Qt::red));
    ASSERT_TRUE(square.save(dir.filePath(QStringLiteral("d.pavo")), std::nullopt, std::nullopt));
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(dir.filePath(QStringLiteral("p.png"))),
                   QUrl::fromLocalFile(dir.filePath(QStringLiteral("d.pavo")))});
    drop(*canvas, files, {100, 80});
    ASSERT_EQ(strokes(), 2);
    const Rect image = document.strokes().strokeArray()[0]->bounds();
    const Rect placed = document.strokes().strokeArray()[1]->bounds();
    const Size view = document.view().size();
    EXPECT_TRUE(image.origin == (Point{80, 70}) && image.size == (Size{40, 20}));
    EXPECT_NEAR(placed.size.width, 0.3f * std::min(view.width, view.height), 0.01) << "a dropped drawing at 0.3 of the view";
    EXPECT_NEAR(centre(placed).x, 100, 0.01);
    EXPECT_EQ(document.undoManager().undoActionName(), QStringLiteral("Drop"));
    QString said;
    answer_message_box(QMessageBox::Ok, &said);
    QMimeData remote;
    remote.setUrls({QUrl(QStringLiteral("https://example.org/cat.png"))});
    drop(*canvas, remote, {100, 80});
    EXPECT_TRUE(said.contains(u"example.org/cat.png") && said.contains(u"downloads nothing")) << said.toStdString();
    EXPECT_EQ(strokes(), 2);
}

// The pen's outline: at the pointer with the pen's radius in view pixels and a ring at the
// hover pressure, gone with another tool and while the pen is down.
struct OutlineRow { const char* name; bool arrow, down; float pressure; std::set<int> rings; };
class Outline : public Window, public ::testing::WithParamInterface<OutlineRow> {};

TEST_P(Outline, ShowsWhereAndWhenItShould)
{
    const OutlineRow& row = GetParam();
    window->document().setPenSize(12);
    window->document().setTool(row.arrow ? static_cast<Tool*>(&window->document().arrow()) : &window->document().pen());
    const auto send = [&](QEvent::Type type, float pressure, Qt::MouseButton b) {
        QTabletEvent e(type, &stylus(End::Pen), {150, 120}, {}, pressure, 0, 0, 0, 0, 0, {}, b, b);
        QCoreApplication::sendEvent(canvas, &e);
    };
    QMouseEvent hover(QEvent::MouseMove, QPointF(150, 120), QPointF(), Qt::NoButton, Qt::NoButton, {});
    row.pressure > 0 ? send(QEvent::TabletMove, row.pressure, Qt::NoButton) : (void)QCoreApplication::sendEvent(canvas, &hover);
    if (row.down) send(QEvent::TabletPress, 0.05f, Qt::LeftButton); // its dot stays inside radius 6
    const QImage shown = canvas->grab().toImage();
    // Along the row a one-pixel ring of radius R touches the pixels R and R + 1 from the centre;
    // the light ring outside it vanishes on the white paper.
    for (int r = 6; r <= 16; ++r)
        EXPECT_EQ(shown.pixel(150 - r, 120) != shown.pixel(5, 5), row.rings.count(r) + row.rings.count(r - 1) > 0) << r;
    if (row.down) send(QEvent::TabletRelease, 0, Qt::LeftButton);
}

INSTANTIATE_TEST_SUITE_P(Cursor, Outline, ::testing::Values(
    OutlineRow{"mouse", false, false, 0, {12}}, OutlineRow{"stylus at full pressure", false, false, 1, {12}}, OutlineRow{"pen hovering lightly", false, false, 0.75f, {9, 12}},
    OutlineRow{"arrow tool", true, false, 1, {}}, OutlineRow{"pen down", false, true, 1, {}}),
    [](const auto& row_info) { return test_name(row_info.param.name); });

} // namespace
