#include "strokes.h"

#include "archive.h"

#include <QCborArray>
#include <QCoreApplication>

#include <algorithm>
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


} // namespace

void Strokes::setDocument(StrokeEditor* document, UndoManager* undo)
{
    _document = document;
    _undo = undo;
}

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

StrokePtr Strokes::pickStrokeAtPoint(Point world) const
{
    for (auto it = _strokes.rbegin(); it != _strokes.rend(); ++it)
        if ((*it)->contains(world)) return *it;
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
    std::vector<int> indices;
    for (const StrokePtr& s : strokes)
        if (const int i = indexOf(s); i >= 0) indices.push_back(i);
    std::sort(indices.begin(), indices.end());
    indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
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
    // One pass over each list: a select-all of a large drawing asks after every edit.
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
    Bitmap& layer = canvas.strokeBitmap();
    Bitmap& draw = canvas.drawBitmap();
    std::optional<Rect> pending, result;
    const Stroke* batch = nullptr; // the stroke whose mode and opacity the batch takes
    const auto flush = [&] {
        if (!pending) return;
        layer.transferRect(*pending, draw, batch->transferMode(), batch->opacity());
        layer.fillRect(*pending, color_ns::TRANSPARENT);
        extend(result, *pending);
        pending.reset();
    };
    for (std::size_t i = 0; i < _strokes.size(); ++i) {
        const Stroke& s = *_strokes[i];
        if (s.isImage()) {
            flush();
            extend(result, canvas.worldRectToBitmapRect(s.drawInContext(draw.cgContext())));
            continue;
        }
        const Rect r = s.bad() ? make_rect(NAN, NAN, NAN, NAN)
                               : canvas.worldRectToBitmapRect(s.drawInContext(layer.cgContext()));
        if (!nice(r)) {
            log_line(QStringLiteral("Bad stroke found in drawing -- ignoring."));
            // The batch so far keeps its own mode, and whatever the bad stroke left in the
            // scratch layer is wiped.
            flush();
            layer.fill(color_ns::TRANSPARENT);
            continue;
        }
        extend(pending, r);
        batch = &s;
        const bool last = i + 1 == _strokes.size();
        if (last || !s.canCombineStrokeWith(*_strokes[i + 1])) flush();
    }
    if (!result) return {};
    draw.copyRect(*result, canvas.previewBitmap());
    return *result;
}

void Strokes::registerUndo(std::function<void(StrokeEditor&)> action)
{
    if (!_undo) return;
    StrokeEditor* target = &editor();
    _undo->registerUndo(target, [target, action = std::move(action)] { action(*target); });
}

void Strokes::nameAction(const char* name)
{
    if (_undo) _undo->setFirstActionName(QCoreApplication::translate("Strokes", name));
}

void Strokes::addStroke(const StrokePtr& stroke)
{
    if (!stroke) return;
    _strokes.push_back(stroke);
    registerUndo([](StrokeEditor& e) { e.removeLastStroke(); });
    nameAction("Stroke");
}

void Strokes::removeLastStroke()
{
    if (_strokes.empty()) return;
    const StrokePtr stroke = _strokes.back();
    _strokes.pop_back();
    registerUndo([stroke](StrokeEditor& e) { e.addStroke(stroke); });
    nameAction("Delete Stroke");
}

void Strokes::insertStroke(const StrokePtr& stroke, int index)
{
    if (!stroke || index < 0 || index > count()) return;
    _strokes.insert(_strokes.begin() + index, stroke);
    registerUndo([index](StrokeEditor& e) { e.removeStrokeAtIndex(index); });
    nameAction("Add Stroke");
}

void Strokes::removeStrokeAtIndex(int index)
{
    if (index < 0 || index >= count()) return;
    const StrokePtr stroke = _strokes[std::size_t(index)];
    _strokes.erase(_strokes.begin() + index);
    registerUndo([stroke, index](StrokeEditor& e) { e.insertStroke(stroke, index); });
    nameAction("Delete Stroke");
}

bool Strokes::transformStrokesInArray(const StrokeArray& strokes, const AffineTransform& t)
{
    // Checked for every stroke first, so that the move is all or nothing and its inverse
    // restores exactly what was there.
    const std::optional<AffineTransform> inverse = t.isUsable() ? t.inverted() : std::nullopt;
    if (!inverse) return false;
    for (const StrokePtr& s : strokes)
        if (!s || !s->canTransformUsing(t)) return false;
    for (const StrokePtr& s : strokes) s->transformUsingAffineTransform(t);
    registerUndo([strokes, inv = *inverse](StrokeEditor& e) { e.transformStrokesInArray(strokes, inv); });
    return true;
}

void Strokes::clear()
{
    const StrokeArray removed = std::move(_strokes);
    _strokes.clear();
    // Registered from the top down, so that undo re-adds them bottom first.
    for (auto it = removed.rbegin(); it != removed.rend(); ++it)
        registerUndo([stroke = *it](StrokeEditor& e) { e.addStroke(stroke); });
    nameAction("Clear");
}

void Strokes::removeStrokesInArray(const StrokeArray& strokes)
{
    for (const StrokePtr& s : strokes)
        if (const int i = indexOf(s); i >= 0) removeStrokeAtIndex(i);
    nameAction(strokes.size() > 1 ? "Delete Strokes" : "Delete Stroke");
}

void Strokes::mergeStrokesInArray(const StrokeArray& strokes)
{
    if (strokes.size() < 2) return;
    StrokePtr merged;
    for (const StrokePtr& s : strokes) {
        const int i = indexOf(s);
        if (i < 0) continue;
        if (!merged) merged = s->copyWithArchiver();
        else merged->appendPathOf(*s);
        if (!merged) return; // a stroke that cannot be copied is left where it is
        removeStrokeAtIndex(i);
    }
    if (!merged) return;
    addStroke(merged);
    nameAction("Merge");
}

void Strokes::mergeTopTwoStrokes()
{
    if (count() < 2) return;
    mergeStrokesInArray({_strokes[_strokes.size() - 2], _strokes.back()});
}

void Strokes::duplicateStrokesInArray(const StrokeArray& strokes)
{
    if (strokes.empty()) return;
    for (const int i : strokesToIndexList(strokes))
        addStroke(_strokes[std::size_t(i)]->copyWithArchiver());
    nameAction("Duplicate");
}

void Strokes::moveForward(const std::vector<int>& indices, int target)
{
    for (auto it = indices.rbegin(); it != indices.rend(); ++it)
        insertStroke(_strokes[std::size_t(*it)], target);
    for (auto it = indices.rbegin(); it != indices.rend(); ++it) removeStrokeAtIndex(*it);
}

void Strokes::moveBackward(const std::vector<int>& indices, int target)
{
    int moved = 0;
    for (auto it = indices.rbegin(); it != indices.rend(); ++it, ++moved) {
        const int at = *it + moved;
        insertStroke(_strokes[std::size_t(at)], target);
        removeStrokeAtIndex(at + 1);
    }
}

void Strokes::bringForward(const StrokeArray& strokes)
{
    const std::vector<int> indices = strokesToIndexList(strokes);
    if (!indices.empty()) moveForward(indices, std::min(indices.back() + 2, count()));
}

void Strokes::bringToFront(const StrokeArray& strokes)
{
    const std::vector<int> indices = strokesToIndexList(strokes);
    if (!indices.empty()) moveForward(indices, count());
}

void Strokes::sendBackward(const StrokeArray& strokes)
{
    const std::vector<int> indices = strokesToIndexList(strokes);
    if (!indices.empty()) moveBackward(indices, std::max(indices.front() - 1, 0));
}

void Strokes::sendToBack(const StrokeArray& strokes)
{
    const std::vector<int> indices = strokesToIndexList(strokes);
    if (!indices.empty()) moveBackward(indices, 0);
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
    StrokeArray strokes;
    for (const QCborValue& item : list.toArray()) {
        StrokePtr s = Stroke::decode(item);
        if (!s || s->bad()) {
            log_line(QStringLiteral("Bad stroke found in save file -- ignoring."));
            continue;
        }
        strokes.push_back(std::move(s));
    }
    return std::make_unique<Strokes>(std::move(strokes));
}
