#pragma once

// GIF export through giflib, since Qt reads GIF but cannot write it. The picture is
// flattened over white and reduced to a 256-colour palette; GIF has no partial alpha.

#include <QByteArray>
#include <QImage>
#include <QString>

#include <optional>

// The encoded bytes of a single-frame GIF, or nothing with the reason in *error.
std::optional<QByteArray> encode_gif(const QImage& image, QString* error);

// Writes atomically: on failure an existing file at path is left as it was.
bool write_gif(const QImage& image, const QString& path, QString* error);
