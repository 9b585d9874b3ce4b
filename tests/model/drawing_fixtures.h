#pragma once

// Drawings for the file tests and for pavo_make_corpus, which writes the committed files of
// tests/data/corpus, built the way the program builds them.

#include "document_file.h"
#include <vector>

// Samples about a unit and a half apart with varying pressure, simplified as at pen-up.
StrokePtr wavy_pen_stroke(Point start, int samples, float radius, const AffineTransform& t,
                          const QColor& color, int mode, float opacity, unsigned seed);
// A four-corner placement with its first edge turned by `radians`.
Path image_placement(Point origin, float w, float h, float radians);
DocumentData drawing_of(StrokeArray strokes);
// A pen stroke, fill, line and image with non-default modes, opacities, rules and widths,
// with background, window frame and view transform.
DocumentData full_document();

struct CorpusEntry {
    QString name;
    bool compressed = true, plain_array = false; // the strokes as a bare array
    DocumentData (*build)() = nullptr;
};
std::vector<CorpusEntry> corpus_entries();
// The file content of an entry: exactly what pavo_make_corpus writes.
QByteArray corpus_file(const CorpusEntry& entry);
QByteArray wrap_archive(const QByteArray& archive, bool compressed);
