// The pen types delivered in resources/: each loads cleanly, and each turns a synthetic
// gesture into the strokes a user would expect.

#include "pen.h"
#include "pens_test_support.h"
#include "resources.h"
#include "stroke.h"

#include <cmath>
#include <functional>

namespace {

using Pressure = std::function<float(float)>;

class PenSetTest : public PenScriptTest {
protected:
    void SetUp() override
    {
        PenScriptTest::SetUp();
        pen = std::make_unique<Pen>(alerts, resource_path());
    }

    void select(const QString& name) { ASSERT_TRUE(pen->setPenTypeName(name)) << qPrintable(name); }

    // Pen down at the first point, `steps` moves to each next point with the pressure of
    // `pressure(t)` for t in (0, 1] along that leg, pen up at the last.
    void gesture(const std::vector<Point>& points, unsigned flags = 0, int steps = 20,
                 const Pressure& pressure = [](float t) { return 0.5f + 0.5f * t; })
    {
        pen->toolDownEvent({points.front(), 1, flags}, view);
        for (std::size_t leg = 1; leg < points.size(); ++leg)
            for (int i = 1; i <= steps; ++i) {
                const float t = float(i) / float(steps);
                const Point p = points[leg - 1] + (points[leg] - points[leg - 1]) * t;
                pen->toolMoveEvent({p, pressure(t), flags}, view);
            }
        pen->toolUpEvent({points.back(), 0, flags}, view);
    }

    // The pen's settings went into every stroke; nothing was refused, alerted or left over.
    void expectCleanStrokes()
    {
        EXPECT_TRUE(alerts.alerts.empty()) << shown();
        EXPECT_FALSE(log.contains(QStringLiteral("Bad stroke added by Lua pen.")));
        for (const StrokePtr& s : view.added()) {
            EXPECT_FALSE(s->bad());
            EXPECT_EQ(s->color(), pen->color());
            EXPECT_EQ(s->transferMode(), pen->transferMode());
            EXPECT_EQ(s->opacity(), pen->opacity());
        }
        if (pen->penTypeId()) {
            EXPECT_EQ(pen->penTypeId()->livePaths(), 0u);
        }
    }

    PenView view{1, {400, 300}};
    std::unique_ptr<Pen> pen;
};

} // namespace

// Each type, one gesture: how many strokes, whether drawn as a line, and the bounds of the
// path of the first one.
TEST_F(PenSetTest, EachTypeTurnsAGestureIntoItsStroke)
{
    const float snap = std::hypot(80.0f, 24.0f), r15 = 15 * 3.14159265f / 180;
    const struct {
        const char* type;
        std::vector<Point> points = {{50, 50}, {150, 80}};
        unsigned flags = 0;
        bool line = false;
        Rect path = {}; // empty: a pressure stroke, only checked to lie along the gesture
    } rows[] = {
        {"Pen"}, {"Pencil"}, {"Marker"}, {"Highlighter"}, {"Eraser"}, {"Brush"},
        {"Line", {{100, 100}, {180, 124}}, 0, true, make_rect(100, 100, 80, 24)},
        {"Line", {{100, 100}, {180, 124}}, kShiftKey, true,
         make_rect(100, 100, snap * std::cos(r15), snap * std::sin(r15))},
        {"Rectangle", {{150, 100}, {50, 160}}, 0, false, make_rect(50, 100, 100, 60)},
        {"Rectangle", {{150, 100}, {50, 160}}, kShiftKey, false, make_rect(50, 100, 100, 100)},
        {"Ellipse", {{100, 100}, {180, 140}}, kShiftKey, false, make_rect(100, 100, 80, 80)},
        {"Lasso", {{200, 100}, {250, 150}, {200, 200}, {150, 150}, {200, 100}}, 0, false,
         make_rect(150, 100, 100, 100)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.type);
        view.forgetStrokes();
        select(QString::fromUtf8(row.type));
        gesture(row.points, row.flags);
        ASSERT_EQ(view.added().size(), 1u);
        expectCleanStrokes();
        const Stroke& s = *view.added().front();
        EXPECT_EQ(s.drawAsStroke(), row.line);
        const Rect got = s.path().bounds();
        if (is_empty(row.path)) {
            EXPECT_TRUE(s.contains(centre(make_rect(50, 50, 100, 30))));
            EXPECT_FALSE(s.contains({50, 80}));
            continue;
        }
        EXPECT_NEAR(got.minX(), row.path.minX(), 0.01f);
        EXPECT_NEAR(got.minY(), row.path.minY(), 0.01f);
        EXPECT_NEAR(got.maxX(), row.path.maxX(), 0.01f);
        EXPECT_NEAR(got.maxY(), row.path.maxY(), 0.01f);
    }
}

// Seams where pieces cross in opposite directions and gaps where a move runs along the nib
// show as unpainted pixels on the path the pen took.
TEST_F(PenSetTest, CalligraphyFillsItsWholeTrackAsWideAsTheNibAngleMakesIt)
{
    select(QStringLiteral("Calligraphy"));
    const Pressure full = [](float) { return 1.0f; };
    auto height_at = [&](float angle) {
        view.forgetStrokes();
        pen->setParameter(QStringLiteral("nib_angle"), angle);
        gesture({{50, 150}, {250, 150}}, 0, 20, full);
        return view.added().empty() ? 0.0f : view.added().front()->bounds().size.height;
    };
    const float across = height_at(90), along = height_at(0), slanted = height_at(45);
    EXPECT_NEAR(across, 2 * pen->radius(), 0.5f);
    EXPECT_GT(along, 0);
    EXPECT_LT(along, across / 4);
    EXPECT_GT(slanted, along);
    EXPECT_LT(slanted, across);
    // Legs at 45 degrees run along the nib, those at -45 across it; the way back crosses
    // the way out.
    view.forgetStrokes();
    const std::vector<Point> track = {{40, 150}, {100, 90}, {160, 150}, {220, 90}, {280, 150},
                                      {220, 160}, {160, 100}, {100, 160}, {40, 100}};
    gesture(track, 0, 2, full);
    ASSERT_EQ(view.added().size(), 1u);
    expectCleanStrokes();
    PenView paper{1, {400, 300}};
    view.added().front()->drawInCanvas(paper.canvas());
    int holes = 0;
    for (std::size_t leg = 1; leg < track.size(); ++leg)
        for (int i = 0; i <= 100; ++i) {
            const Point p = track[leg - 1] + (track[leg] - track[leg - 1]) * (float(i) / 100);
            const Bitmap& drawn = paper.canvas().drawBitmap();
            holes += color_ns::red(drawn.pixelAt(int(p.x + 1e-3f), int(p.y + 1e-3f))) > 128;
        }
    EXPECT_EQ(holes, 0);
}

TEST_F(PenSetTest, SprayScattersDotsWithinItsRadiusMoreWhenPressedHarder)
{
    select(QStringLiteral("Spray"));
    const float spray = pen->radius();
    const Point from{100, 100}, to{300, 200};
    gesture({from, to});
    const StrokeArray first = view.added();
    ASSERT_GE(first.size(), 10u);
    expectCleanStrokes();
    for (std::size_t i = 0; i < first.size(); ++i) {
        const Point at = from + (to - from) * (float(i + 1) / float(first.size()));
        const Rect r = first[i]->bounds();
        EXPECT_TRUE(r.minX() >= at.x - spray && r.maxX() <= at.x + spray &&
                    r.minY() >= at.y - spray && r.maxY() <= at.y + spray);
    }
    std::size_t elements[2] = {};
    for (const float pressure : {0.25f, 1.0f}) {
        view.forgetStrokes();
        gesture({from, to}, 0, 20, [pressure](float) { return pressure; });
        elements[pressure > 0.5f] = view.added().front()->path().elements().size();
    }
    EXPECT_GT(elements[1], elements[0]);
}

// Every type loads with its parameters' texts; a click without moving adds nothing broken.
TEST_F(PenSetTest, EveryTypeLoadsAndAClickWithoutMovingAddsNothingBroken)
{
    const StringTable names = StringTable::named(resource_path(), QStringLiteral("Lua"));
    for (const QString& name : pen->penTypeNames()) {
        select(name);
        for (const QString& parameter : pen->customParameters()) {
            EXPECT_NE(names.translate(parameter), parameter);
            EXPECT_LT(pen->parameterMin(parameter), pen->parameterMax(parameter));
        }
        view.forgetStrokes();
        gesture({{120, 80}}, 0);
        gesture({{120, 80}, {120, 80}}, kShiftKey, 2, [](float t) { return t - 0.5f; });
        expectCleanStrokes();
        // A spray held still keeps spraying; every other scripted type needs a drag.
        if (pen->isCustomPen() && name != QStringLiteral("Spray")) {
            EXPECT_TRUE(view.added().empty()) << name.toStdString();
        }
    }
}
