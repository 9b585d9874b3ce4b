#pragma once

// Pictures coming into a drawing from files, the clipboard and drops. Every one is untrusted:
// its size is read from its header and refused before anything is decoded when a drawing
// could not keep it (image_fits_in_drawing), so that nothing is accepted and then lost on the
// next save. Failures are sentences fit to show.

#include "result.h"

#include <QByteArray>
#include <QImage>
#include <QMimeData>
#include <QString>
#include <QStringList>

#include <optional>

Result<QImage> read_picture_file(const QString& path);
// Encoded picture data, its format read from its content.
Result<QImage> read_picture_data(const QByteArray& bytes);
// The picture the data carries (encoded in a type Qt reads, PNG preferred, or as an image
// object); nothing when it carries none, a failure when it carries one that is refused.
std::optional<Result<QImage>> picture_from_mime(const QMimeData& data);

// A Pavo drawing or template, by its extension; anything else is tried as a picture.
bool is_drawing_file(const QString& path);
// "*.png *.jpg ..." for every picture type Qt reads.
QStringList picture_file_patterns();
