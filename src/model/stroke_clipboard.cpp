#include "stroke_clipboard.h"

#include "archive.h"
#include "strokes.h"

#include <QCoreApplication>
#include <QCborArray>
#include <QCborMap>

namespace {

const QLatin1StringView kClipboardClass{"PavoPasteboard"};
const QLatin1StringView kStrokesKey{"strokes"};
const QLatin1StringView kTransformKey{"transform"};

} // namespace

QByteArray encode_copied_strokes(const CopiedStrokes& copied)
{
    QCborArray strokes;
    for (const StrokePtr& s : copied.strokes) strokes.append(s->encode());
    QCborMap root = archive::object(kClipboardClass);
    root.insert(kStrokesKey, strokes);
    root.insert(kTransformKey, archive::encode_transform(copied.view_transform));
    return archive::to_bytes(root);
}

Result<CopiedStrokes> decode_copied_strokes(const QByteArray& data)
{
    // from_bytes refuses what a file may not hold: too large, too deep, too many items.
    const Result<QCborValue> root = archive::from_bytes(data);
    if (!root) return Failure{root.error()};
    const std::optional<QCborMap> map = archive::as_object(*root, kClipboardClass);
    if (!map) return Failure{QCoreApplication::translate("Pavo", "not copied Pavo strokes")};
    const std::optional<AffineTransform> t = archive::decode_transform(map->value(kTransformKey));
    if (!t || !t->isUsable()) return Failure{QCoreApplication::translate("Pavo", "bad view transformation")};
    // Checked stroke by stroke exactly as a file's are, bad ones dropped with their log line.
    const std::unique_ptr<Strokes> strokes = Strokes::decode(map->value(kStrokesKey));
    if (!strokes) return Failure{QCoreApplication::translate("Pavo", "no strokes")};
    return CopiedStrokes{strokes->strokeArray(), *t};
}
