#pragma once

// A zlib stream (header, deflate data, Adler-32) of the data at zlib's default level, made
// on several cores for large data: the data is cut into parts, each part is deflated with
// the 32 KiB before it as its dictionary and ends on a byte boundary, and the parts are
// joined into one stream that any zlib reader inflates. Small data goes through compress2.

#include <QByteArray>

#include <optional>

// Null when zlib fails.
std::optional<QByteArray> parallel_deflate(const QByteArray& data);
