#include "script_context.h"

#include "script_state.h"

namespace {
// Feedback is redrawn with every view update; a script that queues more than this between
// two updates is stopped rather than allowed to exhaust memory.
constexpr std::size_t kMaxQueuedElements = std::size_t(1) << 20;
} // namespace

Result<> ScriptContext::queue(Path path, bool stroke)
{
    // A path counts at least one, so that empty paths cannot be queued without bound either.
    const std::size_t size = path.elements().size() + 1;
    if (size > kMaxQueuedElements - _queued_elements)
        return Failure{QStringLiteral("too much feedback queued")};
    _queued_elements += size;
    queued.push_back({std::move(path), stroke});
    return {};
}

void ScriptContext::clearQueue()
{
    queued.clear();
    _queued_elements = 0;
}

ScriptContext& script_context(lua_State* L) { return script_state(L).context; }

ContextBinding::ContextBinding(ScriptContext& context, ToolView& view, ScriptPen& pen)
    : _context(context), _view(context.view), _pen(context.pen)
{
    _context.view = &view;
    _context.pen = &pen;
}

ContextBinding::~ContextBinding()
{
    _context.view = _view;
    _context.pen = _pen;
}
