#include "stabiliser.h"

#include <algorithm>
#include <cmath>

void Stabiliser::begin(const ToolEvent& down, float smoothing)
{
    _nib = _pointer = down;
    _length = std::isfinite(smoothing) ? std::clamp(smoothing, 0.0f, 1.0f) * kLongestString : 0;
}

std::optional<ToolEvent> Stabiliser::pull(const ToolEvent& pointer)
{
    _pointer = pointer;
    if (_length == 0) return _nib = pointer;
    const Point towards = pointer.location - _nib.location;
    const float distance = length(towards);
    // A pointer that is not finite leaves the nib where it is rather than poisoning it.
    if (!std::isfinite(distance) || distance <= _length) return std::nullopt;
    _nib = pointer;
    _nib.location = pointer.location - towards * (_length / distance);
    return _nib;
}

std::vector<ToolEvent> Stabiliser::catchUp()
{
    std::vector<ToolEvent> moves;
    const Point towards = _pointer.location - _nib.location;
    const float distance = length(towards);
    if (!std::isfinite(distance) || distance == 0) return moves;
    const int steps = int(std::ceil(distance / kCatchUpStep));
    for (int i = 1; i <= steps; ++i) {
        ToolEvent move = _pointer;
        move.location = i == steps ? _pointer.location : _nib.location + towards * (float(i) / float(steps));
        moves.push_back(move);
    }
    _nib = _pointer;
    return moves;
}
