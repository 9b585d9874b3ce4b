#pragma once

// GIF export through giflib, since Qt reads GIF but cannot write it. The picture is
// flattened over white and reduced to a 256-colour palette; GIF has no partial alpha.

#include "result.h"

#include <QByteArray>
#include <QImage>
#include <QString>


// The encoded bytes of a single-frame GIF.
Result<QByteArray> encode_gif(const QImage& image);

// Writes atomically: on failure an existing file at path is left as it was.
Result<> write_gif(const QImage& image, const QString& path);
