// The allocator modules use. It counts live blocks and can fail a chosen call, so that tests can prove a
// module frees everything and survives every allocation failure.
#include <atomic>
#include <cstdlib>
#include <cstring>

#include "sdk_manager/Internal.h"
#include "sdk_manager/tmsdk_sdkmanager_test.h"

namespace {

std::atomic<uint32_t> g_liveBlocks{0};
std::atomic<uint32_t> g_calls{0};
std::atomic<uint32_t> g_failAt{0};

// Counts one allocation call; true when this is the one to fail.
bool FailThisCall() {
    const uint32_t call = g_calls.fetch_add(1) + 1;
    const uint32_t failAt = g_failAt.load();
    return failAt != 0 && call == failAt;
}

}  // namespace

extern "C" {

void* tmsdk_sdkmanager_mem_malloc(uint32_t size) {
    if (FailThisCall()) return nullptr;
    void* block = std::malloc(size ? size : 1);
    if (block) g_liveBlocks.fetch_add(1);
    return block;
}

void* tmsdk_sdkmanager_mem_realloc(void* block, uint32_t size) {
    if (FailThisCall()) return nullptr;
    void* moved = std::realloc(block, size ? size : 1);
    if (moved && !block) g_liveBlocks.fetch_add(1);
    return moved;
}

void tmsdk_sdkmanager_mem_free(void* block) {
    if (!block) return;
    std::free(block);
    g_liveBlocks.fetch_sub(1);
}

void* tmsdk_sdkmanager_mem_memcpy(void* target, const void* source, uint32_t size) {
    if (size == 0) return target;
    if (!target || !source) return nullptr;
    return std::memmove(target, source, size);
}

void* tmsdk_sdkmanager_mem_memset(void* target, int value, uint32_t size) {
    if (size == 0) return target;
    if (!target) return nullptr;
    return std::memset(target, value, size);
}

void tmsdk_sdkmanager_test_allocation_fail_at(uint32_t n) {
    g_failAt.store(n);
    g_calls.store(0);
}

uint32_t tmsdk_sdkmanager_test_allocation_calls(void) { return g_calls.load(); }

uint32_t tmsdk_sdkmanager_test_live_blocks(void) { return g_liveBlocks.load(); }

}  // extern "C"
