#pragma once

// PNG encoding of rendered pictures, written here over libdeflate rather than through Qt's
// encoder, which is several times slower at a comparable file size. Each row gets whichever
// of the sub, up and Paeth filters leaves the smallest residues, and the rows are deflated in
// one call.

#include "result.h"

#include <QByteArray>
#include <QImage>

// The bytes of a PNG file of the picture: 8 bits a channel, RGB when every pixel is opaque,
// else RGBA with straight (not premultiplied) alpha; the picture's resolution, when it has
// one, in a pHYs chunk. Interlaced is Adam7.
Result<QByteArray> encode_png(const QImage& image, bool interlaced = false);
