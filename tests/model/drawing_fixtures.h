#pragma once

// Drawings for the file tests and for pavo_make_corpus, which writes the seed files of the
// mutation test into tests/data/corpus: strokes of every kind built the way the program
// builds them (pen samples simplified as at pen-up) and whole documents.

#include "document_file.h"

#include <vector>

// A wavy pen stroke: samples about a unit and a half apart with varying pressure, as a
// tablet gives them, simplified as the pen tool does at pen-up.
StrokePtr wavy_pen_stroke(Point start, int samples, float radius, const AffineTransform& t,
                          const QColor& color, int mode, float opacity, unsigned seed);
// A four-corner placement with its first edge turned by `radians`.
Path image_placement(Point origin, float w, float h, float radians);
DocumentData drawing_of(StrokeArray strokes);
// One stroke of each kind (pen, fill, line, image), with non-default modes, opacities,
// rules and widths.
StrokeArray strokes_of_every_kind();
// Background, strokes of every kind, window frame and view transform.
DocumentData full_document();
// A pen stroke whose steps are too long for 16 bits, far from the origin.
DocumentData wide_steps();
DocumentData copy_document(const DocumentData& d);

struct CorpusEntry {
    QString name;
    bool compressed = true;
    bool plain_array = false; // the strokes as a bare array rather than a Strokes object
    DocumentData (*build)() = nullptr;
};
std::vector<CorpusEntry> corpus_entries();
// The file content of an entry: exactly what pavo_make_corpus writes.
QByteArray corpus_file(const CorpusEntry& entry);
QByteArray wrap_archive(const QByteArray& archive, bool compressed);
