#pragma once

// The record of copied strokes on the clipboard: a keyed archive (the file format's, not
// compressed and without the file's trailer) holding the strokes in drawing order and the
// view's transformation when they were copied, so that a paste can show them at the size
// and angle they had on the screen.
//
// What the clipboard holds may come from any program: reading it trusts nothing, with the
// same size and nesting limits as a file, and drops bad strokes as loading a file does.

#include "affine_transform.h"
#include "result.h"
#include "stroke.h"

#include <QByteArray>
#include <QLatin1StringView>

// The private type under which the record travels.
inline constexpr QLatin1StringView kStrokesMimeType{"application/x-pavo-strokes"};

struct CopiedStrokes {
    // Bottom first, in world coordinates; never holds a bad stroke.
    StrokeArray strokes;
    // World to view at copying; finite and invertible.
    AffineTransform view_transform;
};

QByteArray encode_copied_strokes(const CopiedStrokes& copied);
// Fails for data that is not such a record or has no usable transformation.
Result<CopiedStrokes> decode_copied_strokes(const QByteArray& data);
