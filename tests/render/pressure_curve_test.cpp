#include "pressure_curve.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

PressureCurve parsed(const char* text)
{
    const auto curve = PressureCurve::parse(QString::fromLatin1(text));
    EXPECT_TRUE(curve) << text;
    return curve ? *curve : PressureCurve();
}

} // namespace

// Every curve passes through its points, never falls and never leaves its points' range,
// however sharply they turn.
TEST(PressureCurve, MonotoneThroughItsPoints)
{
    for (const PressureCurve& curve :
         {PressureCurve::soft(), PressureCurve::firm(), parsed("0 0 0.1 0.9 0.2 0.9 1 1"),
          parsed("0.2 0.1 0.3 0.1 0.35 0.8 0.9 0.85")}) {
        for (const CurvePoint& p : curve.points())
            EXPECT_FLOAT_EQ(curve.map(p.x), p.y) << curve.text().toStdString();
        float last = curve.map(-1);
        for (int i = 0; i <= 1000; ++i) {
            const float y = curve.map(static_cast<float>(i) / 1000);
            EXPECT_GE(y, last) << curve.text().toStdString() << " at " << i;
            EXPECT_LE(y, curve.points().back().y);
            last = y;
        }
        EXPECT_EQ(curve.map(std::nanf("")), curve.points().front().y);
    }
}

TEST(PressureCurve, PresetsBendAsNamed)
{
    for (const float x : {0.1f, 0.3f, 0.5f, 0.8f}) {
        EXPECT_FLOAT_EQ(PressureCurve::linear().map(x), x);
        EXPECT_GT(PressureCurve::soft().map(x), x);
        EXPECT_LT(PressureCurve::firm().map(x), x);
    }
}

TEST(PressureCurve, TextRoundTripsAndBadCurvesAreRefused)
{
    EXPECT_EQ(parsed(PressureCurve::soft().text().toLatin1().constData()), PressureCurve::soft());
    for (const char* bad : {"", "0 0", "0 0 1", "0 0 x 1", "0 0 1.5 1", "0 0.5 1 0.4", "0.5 0 0.5 1",
                            "nan 0 1 1", "0 -0.1 1 1"})
        EXPECT_FALSE(PressureCurve::parse(QString::fromLatin1(bad))) << bad;
}

// The editor's moves keep the curve a curve: held between neighbours, in 0..1, at least two points.
TEST(PressureCurve, EditsKeepItMonotone)
{
    const PressureCurve soft = PressureCurve::soft(); // 0 0, 0.4 0.65, 1 1
    const struct { PressureCurve edited; const char* text; } rows[] = {
        {soft.withPointMoved(1, {0.5f, 0.7f}), "0 0 0.5 0.7 1 1"},
        {soft.withPointMoved(1, {2, 2}), "0 0 0.99 1 1 1"},
        {soft.withPointMoved(1, {-1, -1}), "0 0 0.01 0 1 1"},
        {soft.withPointMoved(0, {0.3f, 0.9f}), "0.3 0.65 0.4 0.65 1 1"},
        {soft.withPointMoved(2, {0.2f, 0.1f}), "0 0 0.4 0.65 0.41 0.65"},
        {soft.withPointAdded({0.7f, 0.2f}).first, "0 0 0.4 0.65 0.7 0.65 1 1"},
        {soft.withPointAdded({0.405f, 0.2f}).first, "0 0 0.4 0.65 1 1"},
        {soft.withoutPoint(1), "0 0 1 1"},
        {PressureCurve().withoutPoint(0), "0 0 1 1"},
    };
    for (const auto& [edited, text] : rows) EXPECT_EQ(edited.text(), QString::fromLatin1(text));
    EXPECT_EQ(soft.withPointAdded({0.7f, 0.2f}).second, 2u);
    EXPECT_EQ(soft.withPointAdded({0.405f, 0.2f}).second, 1u);
}
