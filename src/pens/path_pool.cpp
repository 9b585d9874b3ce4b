#include "path_pool.h"

#include "script_state.h"

namespace {
// Shared by every pool, so that a handle of one state means nothing in another.
std::uintptr_t next_handle = 0;

// What a path costs beside its elements: the table node and the path object.
constexpr std::size_t kEntryBytes = 160;
} // namespace

PathPool::~PathPool()
{
    for (const auto& [handle, e] : _entries) _memory.give(e.charged);
}

void* PathPool::create()
{
    if (!_memory.take(kEntryBytes)) return nullptr;
    const std::uintptr_t handle = ++next_handle;
    _entries[handle].charged = kEntryBytes;
    return reinterpret_cast<void*>(handle);
}

PathPool::Entry* PathPool::entry(const void* handle)
{
    const auto it = _entries.find(reinterpret_cast<std::uintptr_t>(handle));
    return it == _entries.end() ? nullptr : &it->second;
}

Path* PathPool::find(const void* handle)
{
    Entry* const e = entry(handle);
    return e ? &e->path : nullptr;
}

bool PathPool::retain(const void* handle)
{
    Entry* const e = entry(handle);
    if (e) ++e->references;
    return e != nullptr;
}

bool PathPool::release(const void* handle)
{
    Entry* const e = entry(handle);
    if (e) ++e->pending;
    return e != nullptr;
}

bool PathPool::reserve(const void* handle, std::size_t count)
{
    Entry* const e = entry(handle);
    // Twice the element size: a growing vector holds up to that much.
    const std::size_t bytes = count * 2 * sizeof(PathElement);
    if (!e || !_memory.take(bytes)) return false;
    e->charged += bytes;
    return true;
}

void PathPool::drain()
{
    for (auto it = _entries.begin(); it != _entries.end();) {
        Entry& e = it->second;
        e.references -= e.pending;
        e.pending = 0;
        if (e.references > 0) {
            ++it;
            continue;
        }
        _memory.give(e.charged);
        it = _entries.erase(it);
    }
}
