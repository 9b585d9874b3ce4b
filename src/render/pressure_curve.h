#pragma once

// The mapping from the pressure a tablet reports to the pressure the pens see, shaped to suit
// the hand and the tablet. It is given by a few control points (input, output) in 0..1 and
// passes through each of them on a monotone piecewise cubic, so a harder press never draws
// thinner and the curve never overshoots between points. Below the first point the output is
// the first point's, above the last the last's.
//
// Its text form, "X1 Y1 X2 Y2 ...", is what the settings, the event scripts and recordings
// hold; reading it rejects anything that is not a monotone curve inside 0..1.

#include "result.h"

#include <utility>
#include <vector>

struct CurvePoint {
    float x = 0;
    float y = 0;
    bool operator==(const CurvePoint&) const = default;
};

class PressureCurve {
public:
    // The identity: every pressure passes through unchanged.
    PressureCurve();

    static PressureCurve linear();
    static PressureCurve soft(); // a light touch already draws wide
    static PressureCurve firm(); // it takes a hard press to draw wide

    // At least two points, inputs strictly rising, outputs never falling, all within 0..1.
    static Result<PressureCurve> fromPoints(std::vector<CurvePoint> points);
    static Result<PressureCurve> parse(const QString& text);

    // The mapped pressure, within 0..1; a raw pressure that is not a number maps as 0.
    float map(float raw) const;

    // Editing as the curve editor does it; each result is a valid curve again. A moved
    // point stays between its neighbours (a hundredth apart in input) and inside 0..1; an
    // added point lands between its neighbours' outputs, or on a point already that close;
    // a removal leaves at least two points. Values are kept to hundredths, for readable texts.
    PressureCurve withPointMoved(size_t index, CurvePoint to) const;
    std::pair<PressureCurve, size_t> withPointAdded(CurvePoint at) const;
    PressureCurve withoutPoint(size_t index) const;

    const std::vector<CurvePoint>& points() const { return _points; }
    QString text() const;
    bool operator==(const PressureCurve& other) const { return _points == other._points; }

private:
    explicit PressureCurve(std::vector<CurvePoint> points);

    std::vector<CurvePoint> _points;
    std::vector<float> _slopes; // the tangent at each point, limited so no segment overshoots
};
