#pragma once

// Drawings for the file tests: strokes of every kind built the way the program builds them
// (pen samples simplified as at pen-up), whole documents, and the seed files of the
// mutation test, which tests/data/corpus holds as made by pavo_make_corpus.

#include "document_file.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <vector>

// A wavy pen stroke: samples about a unit and a half apart with varying pressure, as a
// tablet gives them, simplified as the pen tool does at pen-up.
PenPoints wavy_pen_points(Point start, int samples, float radius, const AffineTransform& t,
                          unsigned seed);
StrokePtr wavy_pen_stroke(Point start, int samples, float radius, const AffineTransform& t,
                          const QColor& color, int mode, float opacity, unsigned seed);
// A picture with an alpha ramp, stored straight (not premultiplied) so that PNG keeps it.
QImage gradient_image(int w, int h);
// A four-corner placement with its first edge turned by `radians`.
Path image_placement(Point origin, float w, float h, float radians);

// One stroke of each kind, with non-default modes, opacities, rules and widths.
StrokeArray strokes_of_every_kind();
// Background, strokes of every kind, window frame and view transform.
DocumentData full_document();
DocumentData copy_document(const DocumentData& d);

struct CorpusEntry {
    QString name;
    bool compressed = true;
    // The strokes as a bare array rather than a Strokes object.
    bool plain_array = false;
    DocumentData (*build)() = nullptr;
};

std::vector<CorpusEntry> corpus_entries();
// The file content of an entry: exactly what pavo_make_corpus writes.
QByteArray corpus_file(const CorpusEntry& entry);
// Wraps an archive as a file of the given form.
QByteArray wrap_archive(const QByteArray& archive, bool compressed);
