// Files dropped on the drawing area are placed where they are let go; an address on another
// computer is refused with a message, and nothing is downloaded.

#include "canvas_widget.h"
#include "document_window.h"
#include "modal_answers.h"
#include "pavo_application.h"

#include <QDropEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QPainterPath>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

void drop(QWidget& target, const QMimeData& data, QPointF at)
{
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&target, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&target, &dropped);
}

TEST(Drop, FilesArePlacedWhereLetGoAndARemoteAddressIsRefused)
{
    QTemporaryDir dir;
    QPointer<DocumentWindow> window = PavoApplication::instance()->newDocument();
    auto* canvas = window ? window->findChild<CanvasWidget*>() : nullptr;
    ASSERT_TRUE(canvas);
    PavoDocument& document = window->document();
    QImage picture(40, 20, QImage::Format_ARGB32);
    picture.fill(Qt::blue);
    ASSERT_TRUE(picture.save(dir.filePath(QStringLiteral("p.png"))));
    Drawing square;
    QPainterPath path;
    path.addRect(0, 0, 100, 100);
    square.addStroke(Stroke::withPath(Path(path), Qt::red, kModeNormal, 1));
    ASSERT_TRUE(square.save(dir.filePath(QStringLiteral("d.pavo")), std::nullopt, std::nullopt));

    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(dir.filePath(QStringLiteral("p.png"))),
                   QUrl::fromLocalFile(dir.filePath(QStringLiteral("d.pavo")))});
    drop(*canvas, files, {100, 80});
    ASSERT_EQ(document.strokes().count(), 2);
    const Rect image = document.strokes().strokeArray()[0]->bounds();
    const Rect placed = document.strokes().strokeArray()[1]->bounds();
    const Size view = document.view().size();
    const float side = 0.3f * std::min(view.width, view.height);
    EXPECT_TRUE(image.origin == (Point{80, 70}) && image.size == (Size{40, 20}));
    EXPECT_NEAR(placed.size.width, side, 0.01) << "a dropped drawing at 0.3 of the view";
    EXPECT_NEAR(centre(placed).x, 100, 0.01);
    EXPECT_EQ(document.undoManager().undoActionName(), QStringLiteral("Drop"));

    QString said;
    answer_message_box(QMessageBox::Ok, &said);
    QMimeData remote;
    remote.setUrls({QUrl(QStringLiteral("https://example.org/cat.png"))});
    drop(*canvas, remote, {100, 80});
    EXPECT_TRUE(said.contains(u"example.org/cat.png") && said.contains(u"downloads nothing"))
        << said.toStdString();
    EXPECT_EQ(document.strokes().count(), 2);

    (void)document.saveTo(dir.filePath(QStringLiteral("teardown.pavo")));
    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace
