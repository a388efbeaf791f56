#include "AllocLimit.h"

#include <cstddef>

namespace {
int g_allowed = -1;  // allocations still granted; -1: all
}  // namespace

extern "C" void* __real_malloc(size_t size);

extern "C" void* __wrap_malloc(size_t size) {
    if (g_allowed == 0) return nullptr;
    if (g_allowed > 0) --g_allowed;
    return __real_malloc(size);
}

Limit::Limit(int allowed) {
    g_allowed = allowed;
}

Limit::~Limit() {
    g_allowed = -1;
}
