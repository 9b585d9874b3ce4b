#pragma once

// A pulled-string stabiliser between the pointer and the pen. The nib hangs on a string of
// a length that grows with the smoothing: while the pointer moves within the string's
// slack the nib stays put, and when the string is taut the nib is pulled straight towards
// the pointer. Wobbles shorter than the string never reach the pen, and corners are cut
// round. At pen-up the nib catches up to the pointer, so the stroke still ends where the
// pen was lifted. Lengths are view pixels, so the feel does not change with the zoom.
//
// The pen feeds it every down and move; smoothing 0 passes every event through unchanged.

#include "tool_event.h"

#include <optional>
#include <vector>

// The string's length at smoothing 1, in view pixels.
constexpr float kLongestString = 60;
// The catch-up moves are at most this far apart, so a scripted pen stamping per move leaves
// no holes.
constexpr float kCatchUpStep = 4;

class Stabiliser {
public:
    // A stroke begins at the pen-down, with the nib under the pointer. Smoothing is held
    // in 0..1; anything else (not a number) is 0.
    void begin(const ToolEvent& down, float smoothing);
    // The move the pen sees when the pointer moves to `pointer`: the nib's new place with
    // the pointer's pressure and keys, or nothing while the string is slack.
    std::optional<ToolEvent> pull(const ToolEvent& pointer);
    // The moves that bring the nib to the pointer's last place at the last pressure, the
    // last exactly there; none when the nib is there already.
    std::vector<ToolEvent> catchUp();

private:
    ToolEvent _nib;
    ToolEvent _pointer;
    float _length = 0;
};
