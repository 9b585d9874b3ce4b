// The pen's outline: at the pointer with the pen's radius in view pixels and a ring at the
// hover pressure, gone with another tool and while the pen is down.

#include "canvas_widget.h"
#include "document_window.h"
#include "pavo_application.h"
#include "rows.h"

#include <QMouseEvent>
#include <QPointingDevice>
#include <QTabletEvent>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <set>

struct OutlineRow { const char* name; bool arrow, down; float pressure; std::set<int> rings; };
class Outline : public ::testing::TestWithParam<OutlineRow> {};

TEST_P(Outline, ShowsWhereAndWhenItShould)
{
    const OutlineRow& row = GetParam();
    DocumentWindow& window = *PavoApplication::instance()->newDocument();
    auto* canvas = window.findChild<CanvasWidget*>();
    window.document().setPenSize(12);
    window.document().setTool(row.arrow ? static_cast<Tool*>(&window.document().arrow()) : &window.document().pen());
    static const auto* stylus = new QPointingDevice("s", 7101, QInputDevice::DeviceType::Stylus,
        QPointingDevice::PointerType::Pen, QInputDevice::Capability::Pressure, 1, 2, {}, {}, qApp);
    const auto send = [&](QEvent::Type type, float pressure, Qt::MouseButton b) {
        QTabletEvent e(type, stylus, {150, 120}, {}, pressure, 0, 0, 0, 0, 0, {}, b, b);
        QCoreApplication::sendEvent(canvas, &e);
    };
    QMouseEvent mouse(QEvent::MouseMove, QPointF(150, 120), QPointF(), Qt::NoButton, Qt::NoButton, {});
    row.pressure > 0 ? send(QEvent::TabletMove, row.pressure, Qt::NoButton) : (void)QCoreApplication::sendEvent(canvas, &mouse);
    if (row.down) send(QEvent::TabletPress, 0.05f, Qt::LeftButton); // its dot stays inside radius 6
    const QImage shown = canvas->grab().toImage();
    // Along the row a one-pixel ring of radius R touches the pixels R and R + 1 from the centre;
    // the light ring outside it vanishes on the white paper.
    for (int r = 6; r <= 16; ++r)
        EXPECT_EQ(shown.pixel(150 - r, 120) != shown.pixel(5, 5), row.rings.count(r) + row.rings.count(r - 1) > 0) << r;
    if (row.down) send(QEvent::TabletRelease, 0, Qt::LeftButton);
    QTemporaryDir dir; // saved, so that closing asks nothing
    (void)window.document().saveTo(dir.filePath("t.pavo"));
    window.close();
}

INSTANTIATE_TEST_SUITE_P(Cursor, Outline, ::testing::Values(
    OutlineRow{"mouse", false, false, 0, {12}}, OutlineRow{"stylus at full pressure", false, false, 1, {12}}, OutlineRow{"pen hovering lightly", false, false, 0.75f, {9, 12}},
    OutlineRow{"arrow tool", true, false, 1, {}}, OutlineRow{"pen down", false, true, 1, {}}),
    [](const auto& row_info) { return test_name(row_info.param.name); });
