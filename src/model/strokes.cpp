#include "strokes.h"

#include "archive.h"
#include "stroke_render.h"
#include "work_pool.h"

#include <QCborArray>
#include <QPainterPathStroker>

#include <algorithm>
#include <numeric>
#include <unordered_set>

namespace {

bool intersects(const Rect& a, const Rect& b)
{
    return !is_empty(a) && !is_empty(b) && a.minX() < b.maxX() && b.minX() < a.maxX() &&
           a.minY() < b.maxY() && b.minY() < a.maxY();
}

bool encloses(const Rect& outer, const Rect& inner)
{
    return !is_empty(inner) && outer.minX() <= inner.minX() && inner.maxX() <= outer.maxX() &&
           outer.minY() <= inner.minY() && inner.maxY() <= outer.maxY();
}

// A line is hit on its stroked outline; a filled shape or picture inside its path.
bool hits(const Stroke& s, Point world, float tolerance)
{
    if (!s.drawAsStroke()) return s.contains(world);
    // The bounds already reach half the width beyond the path.
    const Rect near = grow_rect(s.bounds(), tolerance / 2, tolerance / 2);
    if (!finite(near) || world.x < near.minX() || world.x > near.maxX() || world.y < near.minY() ||
        world.y > near.maxY())
        return false;
    QPainterPathStroker stroker;
    stroker.setWidth(double(std::max(s.lineWidth(), tolerance)));
    stroker.setCapStyle(Qt::RoundCap);
    stroker.setJoinStyle(Qt::RoundJoin);
    return stroker.createStroke(s.path().toQPainterPath()).contains(QPointF(world.x, world.y));
}

} // namespace

int Strokes::indexOf(const StrokePtr& stroke) const
{
    const auto it = std::find(_strokes.begin(), _strokes.end(), stroke);
    return it == _strokes.end() ? -1 : int(it - _strokes.begin());
}

Rect Strokes::bounds() const
{
    Rect total;
    for (const StrokePtr& s : _strokes) total = union_rect(total, s->bounds());
    return total;
}

StrokePtr Strokes::pickStrokeAtPoint(Point world, float tolerance) const
{
    for (auto it = _strokes.rbegin(); it != _strokes.rend(); ++it)
        if (hits(**it, world, tolerance)) return *it;
    return nullptr;
}

StrokeArray Strokes::strokesTouchingRect(const Rect& r) const
{
    StrokeArray out;
    for (const StrokePtr& s : _strokes)
        if (intersects(s->bounds(), r)) out.push_back(s);
    return out;
}

StrokeArray Strokes::strokesEnclosedByRect(const Rect& r) const
{
    StrokeArray out;
    for (const StrokePtr& s : _strokes)
        if (encloses(r, s->bounds())) out.push_back(s);
    return out;
}

std::vector<int> Strokes::strokesToIndexList(const StrokeArray& strokes) const
{
    // One pass over each list: a select-all of a large drawing is deleted or moved whole.
    std::unordered_set<const Stroke*> wanted;
    wanted.reserve(strokes.size());
    for (const StrokePtr& s : strokes) wanted.insert(s.get());
    std::vector<int> indices;
    for (std::size_t i = 0; i < _strokes.size(); ++i)
        if (wanted.contains(_strokes[i].get())) indices.push_back(int(i));
    return indices;
}

StrokeArray Strokes::sortedStrokesInArray(const StrokeArray& strokes) const
{
    StrokeArray out;
    for (const int i : strokesToIndexList(strokes)) out.push_back(_strokes[std::size_t(i)]);
    return out;
}

StrokeArray Strokes::activeStrokesInArray(const StrokeArray& strokes) const
{
    // One pass over each list, as above.
    const std::unordered_set<const Stroke*> present = [this] {
        std::unordered_set<const Stroke*> set;
        set.reserve(_strokes.size());
        for (const StrokePtr& s : _strokes) set.insert(s.get());
        return set;
    }();
    StrokeArray out;
    for (const StrokePtr& s : strokes)
        if (s && present.contains(s.get())) out.push_back(s);
    return out;
}

bool Strokes::canVectorDraw() const
{
    return std::all_of(_strokes.begin(), _strokes.end(),
                       [](const StrokePtr& s) { return s->canVectorDraw(); });
}

Rect Strokes::drawInCanvas(PavoCanvas& canvas) const
{
    std::vector<int> every(_strokes.size());
    std::iota(every.begin(), every.end(), 0);
    return paint_strokes(_strokes, every, stroke_batches(_strokes), canvas);
}

QCborValue Strokes::encode() const
{
    QCborArray array;
    for (const StrokePtr& s : _strokes) array.append(s->encode());
    QCborMap map = archive::object(QLatin1StringView("Strokes"));
    map.insert(QLatin1StringView("strokes"), array);
    return map;
}

std::unique_ptr<Strokes> Strokes::decode(const QCborValue& value)
{
    QCborValue list = value;
    if (const std::optional<QCborMap> map = archive::as_object(value, QLatin1StringView("Strokes")))
        list = map->value(QLatin1StringView("strokes"));
    if (!list.isArray()) return nullptr;
    // No count or size limit of its own: the archive's limits already bound what is read,
    // and any drawing the program saves must open again.
    // Strokes decode apart from one another, so the cores share them; building a pen
    // stroke's outline from its samples is much of the time a large drawing takes to open.
    const QCborArray items = list.toArray();
    constexpr qsizetype kPerPart = 256;
    const int parts = int((items.size() + kPerPart - 1) / kPerPart);
    StrokeArray decoded(std::size_t(items.size()));
    run_parts(parts, [&](int part) {
        const qsizetype end = std::min(items.size(), (part + 1) * kPerPart);
        for (qsizetype i = part * kPerPart; i < end; ++i) decoded[std::size_t(i)] = Stroke::decode(items.at(i));
    });
    StrokeArray strokes;
    strokes.reserve(decoded.size());
    for (StrokePtr& s : decoded) {
        if (!s || s->bad()) {
            log_line(QStringLiteral("Bad stroke found in save file -- ignoring."));
            continue;
        }
        strokes.push_back(std::move(s));
    }
    return std::make_unique<Strokes>(std::move(strokes));
}
