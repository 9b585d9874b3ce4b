// The export dialog as a person fills it in: the sizes keep the view's proportions, the
// format follows a typed extension and gives the file its own, each format's options are
// the ones that can be changed; and while the export runs only its progress takes input.

#include "export_dialog.h"
#include "input_blocker.h"

#include <QtWidgets>

#include <gtest/gtest.h>

namespace {

template <typename T>
T* field(const ExportDialog& dialog, const char* name)
{
    return dialog.findChild<T*>(QString::fromLatin1(name));
}

void type_into(QWidget* widget, const QString& text)
{
    if (auto* box = qobject_cast<QSpinBox*>(widget)) box->selectAll();
    if (auto* line = qobject_cast<QLineEdit*>(widget)) line->selectAll();
    for (const QChar c : text) {
        QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(widget, &key);
    }
}

} // namespace

TEST(ExportDialog, SizesKeepTheViewsProportionsRoundedHalfUp)
{
    const struct {
        Size view;
        const char* typedInto;
        const char* typed;
        int width, height;
    } rows[] = {{{200, 100}, "width", "400", 400, 200},
                {{200, 100}, "height", "33", 66, 33},
                {{200, 150}, "width", "3", 3, 2},
                {{200, 150}, "height", "5", 7, 5}};
    for (const auto& row : rows) {
        ExportDialog dialog(row.view, QStringLiteral("picture.png"));
        EXPECT_EQ(dialog.request().width, int(row.view.width));
        type_into(field<QSpinBox>(dialog, row.typedInto), QString::fromLatin1(row.typed));
        EXPECT_EQ(dialog.request().width, row.width) << row.typedInto << " " << row.typed;
        EXPECT_EQ(dialog.request().height, row.height) << row.typedInto << " " << row.typed;
    }
}

TEST(ExportDialog, TheFormatFollowsTheNameAndTheNameTheFormat)
{
    ExportDialog dialog({200, 100}, QStringLiteral("picture.png"));
    auto* format = field<QComboBox>(dialog, "format");
    auto* name = field<QLineEdit>(dialog, "fileName");
    const auto enabled = [&dialog] {
        return QString("%1%2%3")
            .arg(field<QSpinBox>(dialog, "jpegQuality")->isEnabled() ? "quality " : "")
            .arg(field<QCheckBox>(dialog, "pngInterlaced")->isEnabled() ? "interlaced " : "")
            .arg(field<QCheckBox>(dialog, "tiffLzw")->isEnabled() ? "lzw" : "");
    };
    EXPECT_EQ(enabled(), "interlaced ");
    // A typed extension of a format chooses it; any other leaves the format alone, and the
    // file then gets the format's own extension.
    const struct {
        const char* typed;
        const char* format;
        const char* written;
        const char* options;
    } typed[] = {{"shot.TIFF", "TIFF", "shot.TIFF", "lzw"},
                 {"shot.jpg", "TIFF", "shot.jpg.tiff", "lzw"},
                 {"shot.jpeg", "JPEG", "shot.jpeg", "quality "},
                 {"shot.Gif", "GIF", "shot.Gif", ""}};
    for (const auto& row : typed) {
        type_into(name, QString::fromLatin1(row.typed));
        EXPECT_EQ(format->currentText(), row.format) << row.typed;
        EXPECT_EQ(dialog.request().path, row.written) << row.typed;
        EXPECT_EQ(enabled(), row.options) << row.typed;
    }
    // Choosing a format renames the file; an empty name stays empty.
    format->setCurrentText(QStringLiteral("JPEG"));
    EXPECT_EQ(name->text(), "shot.jpeg");
    EXPECT_EQ(dialog.request().format, ImageFormat::Jpeg);
    name->clear();
    format->setCurrentText(QStringLiteral("PNG"));
    EXPECT_EQ(name->text(), "");
}

TEST(ExportDialog, AnAcceptedExportsChoicesAreTheNextOnesDefaults)
{
    {
        ExportDialog first({200, 100}, QStringLiteral("picture.jpeg"));
        field<QSpinBox>(first, "jpegQuality")->setValue(55);
        field<QCheckBox>(first, "pngInterlaced")->setChecked(true);
        field<QCheckBox>(first, "tiffLzw")->setChecked(false);
        first.accept();
        ExportDialog cancelled({200, 100}, QStringLiteral("picture.png"));
        field<QSpinBox>(cancelled, "jpegQuality")->setValue(10);
        cancelled.reject();
    }
    ExportDialog next({200, 100}, QStringLiteral("picture.png"));
    const ExportRequest r = next.request();
    EXPECT_EQ(ExportDialog::lastExtension(), "jpeg");
    EXPECT_TRUE(r.options.jpegQuality == 55 && r.options.pngInterlaced && !r.options.tiffLzw);
    QSettings().remove(QStringLiteral("export"));
    EXPECT_EQ(ExportDialog::lastExtension(), "png");
}

// While an export runs, nothing but its progress dialog takes input: not the drawing, not a
// menu shortcut; the dialog's own buttons still do.
TEST(InputBlocker, OnlyTheAllowedWidgetTakesInput)
{
    QWidget window, dialog;
    QPushButton drawing(&window), cancel(&dialog);
    QAction undo(&window);
    int pressed = 0, cancelled = 0, undone = 0;
    QObject::connect(&drawing, &QPushButton::pressed, [&] { ++pressed; });
    QObject::connect(&cancel, &QPushButton::pressed, [&] { ++cancelled; });
    QObject::connect(&undo, &QAction::triggered, [&] { ++undone; });
    const auto press = [](QWidget& w) {
        QMouseEvent e(QEvent::MouseButtonPress, QPointF(2, 2), w.mapToGlobal(QPointF(2, 2)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&w, &e);
    };
    const auto shortcut = [&undo] {
        QShortcutEvent e(QKeySequence(QStringLiteral("Ctrl+Z")), false);
        QApplication::sendEvent(&undo, &e);
    };
    {
        const InputBlocker blocker(dialog);
        press(drawing);
        press(cancel);
        shortcut();
    }
    EXPECT_EQ(pressed, 0);
    EXPECT_EQ(cancelled, 1);
    EXPECT_EQ(undone, 0);
    press(drawing);
    shortcut();
    EXPECT_EQ(pressed, 1);
    EXPECT_EQ(undone, 1);
}
