// The pen types delivered in resources/: each loads cleanly, and each scripted one turns a
// synthetic gesture into the strokes a user would expect.

#include "pen.h"
#include "pens_test_support.h"
#include "resources.h"
#include "stroke.h"

#include <QDir>
#include <QSet>

#include <cmath>
#include <functional>

namespace {

constexpr float kPi = 3.14159265f;

QString pens_folder() { return resource_path() + QStringLiteral("/Pens"); }

bool finite_rect(const Rect& r)
{
    return std::isfinite(r.minX()) && std::isfinite(r.minY()) && std::isfinite(r.maxX()) &&
           std::isfinite(r.maxY());
}

class PenSetTest : public PenScriptTest {
protected:
    void SetUp() override
    {
        PenScriptTest::SetUp();
        pen = std::make_unique<Pen>(alerts, resource_path());
    }

    void select(const char* name) { ASSERT_TRUE(pen->setPenTypeName(QString::fromUtf8(name))) << name; }

    // Pen down at `from`, `steps` moves to `to` with the pressure of `pressure(t)` for t in
    // (0, 1], pen up at `to`.
    void drag(Point from, Point to, unsigned flags = 0, int steps = 20,
              const std::function<float(float)>& pressure = [](float t) { return 0.5f + 0.5f * t; })
    {
        pen->toolDownEvent({from, 1, flags}, view);
        for (int i = 1; i <= steps; ++i) {
            const float t = float(i) / float(steps);
            pen->toolMoveEvent({from + (to - from) * t, pressure(t), flags}, view);
        }
        pen->toolUpEvent({to, 0, flags}, view);
    }

    Point world(Point viewPoint) { return view.canvas().bitmapPointToWorldPoint(viewPoint); }

    const StrokeArray& added() const { return view.doc.added; }

    // The pen's settings went into every stroke, and nothing was refused or alerted.
    void expectCleanStrokes()
    {
        EXPECT_TRUE(alerts.alerts.empty()) << shown();
        EXPECT_FALSE(log.contains(QStringLiteral("Bad stroke added by Lua pen."))) << log.join(u'\n').toStdString();
        for (const StrokePtr& s : added()) {
            EXPECT_FALSE(s->bad());
            EXPECT_TRUE(finite_rect(s->bounds()));
            EXPECT_EQ(s->color(), pen->color());
            EXPECT_EQ(s->transferMode(), pen->transferMode());
            EXPECT_EQ(s->opacity(), pen->opacity());
        }
        // Paths live for one callback unless retained; none may be left over.
        if (pen->penTypeId()) {
            EXPECT_EQ(pen->penTypeId()->livePaths(), 0u);
        }
    }

    FakeView view{1, {400, 300}};
    std::unique_ptr<Pen> pen;
};

} // namespace

TEST_F(PenSetTest, EveryPenTypeLoadsWithoutAlert)
{
    EXPECT_TRUE(alerts.alerts.empty()) << shown();
    const QStringList names = pen->penTypeNames();
    EXPECT_GE(names.size(), 12);

    const QDir pens(pens_folder());
    int defaults = 0;
    QSet<QString> keys;
    for (const QString& file : pens.entryList({QStringLiteral("*.lua")}, QDir::Files)) {
        const std::unique_ptr<Lua> type = Lua::runningFile(pens.filePath(file), alerts, resource_path());
        ASSERT_TRUE(type);
        const std::optional<QString> name = type->getGlobalString(QStringLiteral("name"));
        ASSERT_TRUE(name) << file.toStdString();
        if (type->getGlobalBoolean(QStringLiteral("default"), false)) {
            ++defaults;
            EXPECT_EQ(*name, QStringLiteral("Pen"));
        }
        const std::optional<QString> key = type->getGlobalString(QStringLiteral("key"));
        ASSERT_TRUE(key) << name->toStdString();
        EXPECT_FALSE(keys.contains(*key)) << "key used twice: " << key->toStdString();
        keys.insert(*key);
        for (const QString& parameter : type->getGlobalStringArray(QStringLiteral("parameters")))
            EXPECT_LT(type->getGlobalNumber(parameter + QStringLiteral("_min")),
                      type->getGlobalNumber(parameter + QStringLiteral("_max")));
    }
    EXPECT_EQ(defaults, 1);
    EXPECT_TRUE(alerts.alerts.empty()) << shown();

    EXPECT_EQ(pen->penTypeName(), QStringLiteral("Pen"));
    EXPECT_FALSE(pen->isCustomPen());
    EXPECT_EQ(pen->color(), QColor(Qt::black));
    EXPECT_EQ(pen->radius(), 3.0f);
}

TEST_F(PenSetTest, EveryNameHasADisplayText)
{
    QFile file(resource_path() + QStringLiteral("/Lua.strings"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QSet<QString> keys;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(u'\n'))
        if (line.contains(u'=') && !line.startsWith(u'#')) keys.insert(line.section(u'=', 0, 0).trimmed());
    for (const QString& name : pen->penTypeNames()) {
        EXPECT_TRUE(keys.contains(name)) << name.toStdString();
        select(name.toUtf8().constData());
        for (const QString& parameter : pen->customParameters()) EXPECT_TRUE(keys.contains(parameter));
    }
    for (const char* submenu : {"Shapes", "Effects", "Eraser"}) EXPECT_TRUE(keys.contains(QString::fromUtf8(submenu)));
}

TEST_F(PenSetTest, TheEraserEndFindsAnErasingType)
{
    const QString eraser = StringTable::named(resource_path(), QStringLiteral("Lua")).translate(QStringLiteral("Eraser"));
    ASSERT_TRUE(pen->setPenTypeName(eraser));
    EXPECT_EQ(pen->transferMode(), kModeErase);
    EXPECT_FALSE(pen->isCustomPen());
}

TEST_F(PenSetTest, BuiltInTypesDrawFromPressure)
{
    for (const char* name : {"Pen", "Pencil", "Marker", "Highlighter", "Eraser", "Darken", "Lighten",
                             "Colorize", "Shadow", "Hilight"}) {
        view.doc.added.clear();
        select(name);
        EXPECT_FALSE(pen->isCustomPen()) << name;
        drag({50, 50}, {150, 80});
        ASSERT_EQ(added().size(), 1u) << name;
        expectCleanStrokes();
    }
    select("Highlighter");
    EXPECT_EQ(pen->transferMode(), kModeMultiply);
    EXPECT_GT(pen->color().red(), 200);
    EXPECT_GT(pen->color().green(), 200);
    EXPECT_LT(pen->color().blue(), 100);
    select("Marker");
    EXPECT_LT(pen->opacity(), 1.0f);
}

TEST_F(PenSetTest, LineSnapsToFifteenDegreesUnderShift)
{
    select("Line");
    ASSERT_TRUE(pen->isCustomPen());
    const Point from{100, 100}, to{180, 124}; // about 16.7 degrees
    drag(from, to, kShiftKey);
    ASSERT_EQ(added().size(), 1u);
    expectCleanStrokes();
    const Stroke& line = *added().front();
    EXPECT_TRUE(line.drawAsStroke());
    EXPECT_FLOAT_EQ(line.lineWidth(), 2 * pen->radius() / view.scale());
    const std::vector<PathElement>& e = line.path().elements();
    ASSERT_EQ(e.size(), 2u);
    const Point a = e[0].p[0], b = e[1].p[0];
    EXPECT_NEAR(a.x, world(from).x, 1e-3);
    EXPECT_NEAR(a.y, world(from).y, 1e-3);
    const float degrees = std::atan2(b.y - a.y, b.x - a.x) * 180 / kPi;
    EXPECT_NEAR(std::remainder(degrees, 15.0f), 0, 1e-3) << degrees;
    EXPECT_NEAR(std::hypot(b.x - a.x, b.y - a.y), std::hypot(to.x - from.x, to.y - from.y), 1e-2);

    // Without shift the line ends where the pen was lifted.
    view.doc.added.clear();
    drag(from, to);
    ASSERT_EQ(added().size(), 1u);
    const Point end = added().front()->path().elements().back().p[0];
    EXPECT_NEAR(end.x, world(to).x, 1e-3);
    EXPECT_NEAR(end.y, world(to).y, 1e-3);
}

TEST_F(PenSetTest, RectangleFillsTheDraggedRectangleSquareUnderShift)
{
    select("Rectangle");
    drag({150, 100}, {50, 160});
    ASSERT_EQ(added().size(), 1u);
    expectCleanStrokes();
    const Stroke& rect = *added().front();
    EXPECT_FALSE(rect.drawAsStroke());
    EXPECT_EQ(rect.windingRule(), kNonZero);
    const Point lo = world({50, 100}), hi = world({150, 160});
    EXPECT_NEAR(rect.bounds().minX(), std::min(lo.x, hi.x), 1e-3);
    EXPECT_NEAR(rect.bounds().minY(), std::min(lo.y, hi.y), 1e-3);
    EXPECT_NEAR(rect.bounds().size.width, std::abs(hi.x - lo.x), 1e-3);
    EXPECT_NEAR(rect.bounds().size.height, std::abs(hi.y - lo.y), 1e-3);

    view.doc.added.clear();
    drag({150, 100}, {50, 160}, kShiftKey);
    ASSERT_EQ(added().size(), 1u);
    const Rect square = added().front()->bounds();
    EXPECT_NEAR(square.size.width, 100, 1e-3);
    EXPECT_NEAR(square.size.height, 100, 1e-3);
    EXPECT_NEAR(square.minX(), world({50, 100}).x, 1e-3);
}

TEST_F(PenSetTest, EllipseFillsTheDraggedBoxCircleUnderShift)
{
    select("Ellipse");
    drag({100, 100}, {180, 140}, kShiftKey);
    ASSERT_EQ(added().size(), 1u);
    expectCleanStrokes();
    const Stroke& circle = *added().front();
    EXPECT_FALSE(circle.drawAsStroke());
    EXPECT_NEAR(circle.bounds().size.width, 80, 1e-2);
    EXPECT_NEAR(circle.bounds().size.height, 80, 1e-2);
    EXPECT_TRUE(circle.contains(world({140, 140})));
    EXPECT_FALSE(circle.contains(world({103, 103}))); // inside the box, outside the circle
}

TEST_F(PenSetTest, LassoFillsTheEnclosedArea)
{
    select("Lasso");
    const Point centre{200, 150};
    pen->toolDownEvent({centre + Point{50, 0}, 1, 0}, view);
    for (int i = 1; i <= 24; ++i) {
        const float a = 2 * kPi * float(i) / 24;
        pen->toolMoveEvent({centre + Point{50 * std::cos(a), 50 * std::sin(a)}, 0.3f + 0.02f * float(i), 0}, view);
    }
    pen->toolUpEvent({centre + Point{50, 0}, 0, 0}, view);
    ASSERT_EQ(added().size(), 1u);
    expectCleanStrokes();
    const Stroke& lasso = *added().front();
    EXPECT_FALSE(lasso.drawAsStroke());
    EXPECT_TRUE(lasso.contains(world(centre)));
    EXPECT_TRUE(lasso.contains(world(centre + Point{-40, 20})));
    EXPECT_FALSE(lasso.contains(world(centre + Point{60, 0})));
    EXPECT_NEAR(lasso.bounds().size.width, 100, 1);
    EXPECT_NEAR(lasso.bounds().size.height, 100, 1);
}

TEST_F(PenSetTest, CalligraphyWidthFollowsTheNibAngle)
{
    select("Calligraphy");
    ASSERT_EQ(pen->customParameters(), QStringList{QStringLiteral("nib_angle")});
    auto height_at = [this](float angle) {
        view.doc.added.clear();
        pen->setParameter(QStringLiteral("nib_angle"), angle);
        drag({50, 150}, {250, 150});
        EXPECT_EQ(added().size(), 1u);
        expectCleanStrokes();
        if (added().empty()) return 0.0f;
        EXPECT_FALSE(added().front()->drawAsStroke());
        return added().front()->bounds().size.height;
    };
    const float across = height_at(90), along = height_at(0), slanted = height_at(45);
    // Across the stroke the nib leaves its full width (2 radius at full pressure).
    EXPECT_NEAR(across, 2 * pen->radius(), 0.5f);
    EXPECT_LT(along, across / 4);
    EXPECT_GT(slanted, along);
    EXPECT_LT(slanted, across);
}

TEST_F(PenSetTest, BrushIsWiderWherePressedHarder)
{
    select("Brush");
    // Light on the left half, heavy on the right, at a steady speed.
    drag({50, 150}, {350, 150}, 0, 30, [](float t) { return t <= 0.5f ? 0.2f : 1.0f; });
    ASSERT_EQ(added().size(), 1u);
    expectCleanStrokes();
    const Stroke& brush = *added().front();
    EXPECT_FALSE(brush.drawAsStroke());
    const float offset = 0.5f * pen->radius();
    EXPECT_TRUE(brush.contains(world({300, 150 + offset})));
    EXPECT_FALSE(brush.contains(world({100, 150 + offset})));
    EXPECT_TRUE(brush.contains(world({100, 150})));
}

TEST_F(PenSetTest, SprayScattersDotsWithinItsRadius)
{
    select("Spray");
    const float spray = pen->radius() / view.scale();
    const Point from{100, 100}, to{300, 200};
    drag(from, to);
    const StrokeArray first = added();
    ASSERT_GE(first.size(), 10u);
    expectCleanStrokes();
    for (size_t i = 0; i < first.size(); ++i) {
        const Rect& r = first[i]->bounds();
        EXPECT_FALSE(first[i]->drawAsStroke());
        // Each puff lies within the spray circle around its own pointer position.
        const Point at = world(from + (to - from) * (float(i + 1) / float(first.size())));
        EXPECT_GE(r.minX(), at.x - spray - 1e-3);
        EXPECT_LE(r.maxX(), at.x + spray + 1e-3);
        EXPECT_GE(r.minY(), at.y - spray - 1e-3);
        EXPECT_LE(r.maxY(), at.y + spray + 1e-3);
    }
    // The same gesture sprays the same dots.
    view.doc.added.clear();
    drag(from, to);
    ASSERT_EQ(added().size(), first.size());
    for (size_t i = 0; i < first.size(); ++i) {
        EXPECT_EQ(added()[i]->bounds().origin, first[i]->bounds().origin);
        EXPECT_EQ(added()[i]->path().elements().size(), first[i]->path().elements().size());
    }
    // Harder pressing sprays more dots.
    view.doc.added.clear();
    drag(from, to, 0, 20, [](float) { return 0.25f; });
    const size_t light = added().front()->path().elements().size();
    view.doc.added.clear();
    drag(from, to, 0, 20, [](float) { return 1.0f; });
    EXPECT_GT(added().front()->path().elements().size(), light);
}

TEST_F(PenSetTest, ScriptedStrokesArePreviewedAsTheyAreDrawn)
{
    for (const char* name : {"Calligraphy", "Brush"}) {
        select(name);
        view.doc.added.clear();
        const QColor white(Qt::white);
        EXPECT_EQ(color_ns::to_qcolor_no_alpha(view.canvas().colorAt({150, 150})), white);
        pen->toolDownEvent({{50, 150}, 1, 0}, view);
        for (int x = 60; x <= 250; x += 10) pen->toolMoveEvent({{float(x), 150}, 1, 0}, view);
        EXPECT_TRUE(added().empty()) << name;
        EXPECT_NE(color_ns::to_qcolor_no_alpha(view.canvas().colorAt({150, 150})), white) << name;
        pen->toolUpEvent({{250, 150}, 0, 0}, view);
        EXPECT_EQ(added().size(), 1u) << name;
        // The preview ends; the drawing shows the added stroke from here on.
        EXPECT_EQ(color_ns::to_qcolor_no_alpha(view.canvas().colorAt({150, 150})), white) << name;
        expectCleanStrokes();
    }
}

TEST_F(PenSetTest, AClickWithoutMovingAddsNothingBroken)
{
    for (const QString& name : pen->penTypeNames()) {
        select(name.toUtf8().constData());
        view.doc.added.clear();
        pen->toolDownEvent({{120, 80}, 1, 0}, view);
        pen->toolUpEvent({{120, 80}, 0, 0}, view);
        // Down, a move that goes nowhere without pressure, up.
        pen->toolDownEvent({{120, 80}, 1, kShiftKey}, view);
        pen->toolMoveEvent({{120, 80}, 0, kShiftKey}, view);
        pen->toolMoveEvent({{120, 80}, 0.5f, kShiftKey}, view);
        pen->toolUpEvent({{120, 80}, 0, kShiftKey}, view);
        expectCleanStrokes();
        // A spray held still keeps spraying; every other scripted type needs a drag.
        if (pen->isCustomPen() && name != QStringLiteral("Spray")) {
            EXPECT_TRUE(added().empty()) << name.toStdString();
        }
    }
}

TEST_F(PenSetTest, ShapesKeepTheirSizeOnTheScreenWhenZoomed)
{
    FakeView zoomed{2, {400, 300}};
    select("Line");
    pen->toolDownEvent({{100, 100}, 1, 0}, zoomed);
    pen->toolMoveEvent({{200, 100}, 1, 0}, zoomed);
    pen->toolUpEvent({{200, 100}, 0, 0}, zoomed);
    ASSERT_EQ(zoomed.doc.added.size(), 1u);
    // The pen's radius is in view pixels: at twice the size the line is half as wide.
    EXPECT_FLOAT_EQ(zoomed.doc.added.front()->lineWidth(), pen->radius());
    const Rect& r = zoomed.doc.added.front()->bounds();
    EXPECT_NEAR(r.size.width, 50 + pen->radius(), 1);
    EXPECT_TRUE(alerts.alerts.empty()) << shown();
}
