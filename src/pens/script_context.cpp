#include "script_context.h"

namespace {
// Feedback is redrawn with every view update; a script that queues more than this between
// two updates is stopped rather than allowed to exhaust memory.
constexpr std::size_t kMaxQueuedElements = std::size_t(1) << 20;
} // namespace

void ScriptContext::setViewAndPen(ToolView& v, ScriptPen& p)
{
    view = &v;
    pen = &p;
}

void ScriptContext::forgetView(const ToolView* v)
{
    if (view != v) return;
    view = nullptr;
    // The feedback and the areas were in that view's coordinates.
    clearQueue();
    last_draw_rect = {};
    preview_rect = {};
}

void ScriptContext::forgetPen(const ScriptPen* p)
{
    if (pen == p) pen = nullptr;
}

bool ScriptContext::queue(Path path, bool stroke)
{
    // A path counts at least one, so that empty paths cannot be queued without bound either.
    const std::size_t size = path.elements().size() + 1;
    if (size > kMaxQueuedElements - _queued_elements) return false;
    _queued_elements += size;
    queued.push_back({std::move(path), stroke});
    return true;
}

void ScriptContext::clearQueue()
{
    queued.clear();
    _queued_elements = 0;
}

ScriptContext& script_context()
{
    static ScriptContext context;
    return context;
}
