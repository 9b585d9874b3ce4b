#pragma once

// The paths a script has built, by handle. Scripts hold a path as a light userdata whose
// value is a number into this table, never an address, so a handle whose path is gone (or
// that never named one) is found missing instead of being followed. Numbers are never
// reused and are unique across all states.
//
// Reference counting follows the retain/release scheme pen scripts know: a new path has one
// reference that is given up at the next drain; retain adds one; release gives one up at the
// next drain, so a released handle stays usable until the callback returns. The host drains
// the pool after every callback. The elements of the paths are charged to the state's memory
// account, so that a script cannot grow paths without bound.

#include "path.h"

#include <cstddef>
#include <cstdint>
#include <unordered_map>

class ScriptMemory;

class PathPool {
public:
    explicit PathPool(ScriptMemory& memory) : _memory(memory) {}
    ~PathPool();
    PathPool(const PathPool&) = delete;
    PathPool& operator=(const PathPool&) = delete;

    // An empty path with line width 1; null when the memory account is exhausted.
    void* create();
    // Null when the handle names no live path.
    Path* find(const void* handle);
    bool retain(const void* handle);
    bool release(const void* handle);
    // Charges room for `count` more elements of the path; false when the account is exhausted.
    bool reserve(const void* handle, std::size_t count);
    // Gives up the pending references; paths left with none are freed.
    void drain();
    std::size_t size() const { return _entries.size(); }

private:
    struct Entry {
        Path path;
        std::int64_t references = 1;
        std::int64_t pending = 1;
        std::size_t charged = 0;
    };
    Entry* entry(const void* handle);

    std::unordered_map<std::uintptr_t, Entry> _entries;
    ScriptMemory& _memory;
};
