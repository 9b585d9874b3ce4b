#pragma once

// A drawing as it lives in a file, and the file itself. DocumentData is what the document
// controller keeps between reading a file and having a window to show it in; the functions
// turn it into the bytes of a file and back, and save or load it by path.
//
// File layout: the archive's length N (4 bytes, big-endian), the archive compressed with
// zlib, then the 12 ASCII bytes "PAVO0100ZLIB". Data without that trailer is read as an
// uncompressed archive. docs/archive-format.md has the archive's keys and encodings.
//
// Every byte of a file is untrusted: reading checks sizes before allocating, and a file
// that cannot be read gives a reason instead of a document. Saving writes a temporary file
// beside the old one and renames it over, so a failed save leaves the old file as it was.

#include "affine_transform.h"
#include "archive.h"
#include "result.h"
#include "strokes.h"

#include <QByteArray>
#include <QCborValue>
#include <QColor>
#include <QString>

#include <memory>
#include <optional>

struct DocumentData {
    // None when the background has been cleared.
    std::optional<QColor> background_color;
    // Never null after a load.
    std::unique_ptr<Strokes> strokes;
    std::optional<QString> window_frame;
    std::optional<AffineTransform> view_transform;
};

namespace document_file {

inline constexpr char kTrailer[] = "PAVO0100ZLIB";
inline constexpr qsizetype kTrailerSize = 12;
inline constexpr qsizetype kPrefixSize = 4;
// No archive is read or written beyond this.
inline constexpr qint64 kMaxArchiveBytes = archive::kMaxArchiveBytes;
// Deflate cannot expand data by more than about 1032 to 1.
inline constexpr qint64 kMaxInflateRatio = 1032;
// The largest file the writer makes of an archive of that size: an archive that does not
// compress (placed pictures are compressed already) grows by deflate's block headers, well
// under 1 in 1024, besides the prefix, each core's part and the trailer. Reading allows a
// file this large, so a drawing saved at the archive limit opens again.
inline constexpr qint64 max_file_bytes(qint64 archive_bytes)
{
    return archive_bytes + archive_bytes / 1024 + 4096;
}
inline constexpr qint64 kMaxFileBytes = max_file_bytes(kMaxArchiveBytes);

} // namespace document_file

// The length prefix and the zlib stream (default level). Fails when zlib fails or the data
// is larger than a file may hold.
Result<QByteArray> compressWithLength(const QByteArray& data);
// Refuses a length the compressed size cannot produce, a stream that does not inflate to
// exactly that length, and data after the stream.
Result<QByteArray> decompressWithLength(const QByteArray& data);

// The archive's root object.
QCborValue encodeDocument(const DocumentData& document);
Result<DocumentData> decodeDocument(const QCborValue& root);

// The whole content of a file, always compressed.
Result<QByteArray> dataRepresentation(const DocumentData& document);
// A compressed file, or an uncompressed archive.
Result<DocumentData> loadDataRepresentation(const QByteArray& data);

// Failures name the path.
Result<DocumentData> loadDocument(const QString& path);
// Atomic: the file at `path` is either the new content, synced to disk, or untouched.
Result<> saveDocument(const QString& path, const DocumentData& document);
Result<> writeFileAtomically(const QString& path, const QByteArray& bytes);

namespace document_file {
// The steps of writeFileAtomically in order; Written follows each part of the bytes.
enum class SaveStage { Begun, Opened, Written, Synced, Renamed };
// The bytes go out in parts of this size.
inline constexpr qsizetype kWritePart = 1 << 20;
// Told of each step a save reaches, so that a test can crash a save at that very point;
// the program leaves it empty.
inline void (*save_stage_reached)(SaveStage) = nullptr;
} // namespace document_file
