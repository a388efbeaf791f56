#pragma once

#include <cstdlib>
#include <memory>

// Buffers handed to callers are malloc'ed, so that a caller (or CStringTable) frees them with
// std::free; this holder frees them on every failure path until ownership is handed over.
struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};

template <typename T>
using HeapBuffer = std::unique_ptr<T, FreeDeleter>;
