#include "tests/support/HeapPeak.h"

#include <atomic>
#include <cstdint>

// The sanitizer's allocator interface; weak, so that a build without it links and finds null.
extern "C" {
int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*, size_t),
                                              void (*free_hook)(const volatile void*)) __attribute__((weak));
size_t __sanitizer_get_allocated_size(const volatile void* p) __attribute__((weak));
}

namespace gbxtest {

namespace {

std::atomic<bool> g_counting{false};
std::atomic<int64_t> g_held{0};
std::atomic<int64_t> g_peak{0};

void OnMalloc(const volatile void*, size_t size) {
    if (!g_counting.load(std::memory_order_relaxed)) return;
    const int64_t held = g_held.fetch_add(static_cast<int64_t>(size)) + static_cast<int64_t>(size);
    int64_t peak = g_peak.load();
    while (held > peak && !g_peak.compare_exchange_weak(peak, held)) {
    }
}

void OnFree(const volatile void* p) {
    // Memory freed that was taken before counting began makes the balance go below 0, which is
    // right: the peak is measured from the start.
    if (!g_counting.load(std::memory_order_relaxed) || !p) return;
    g_held.fetch_sub(static_cast<int64_t>(__sanitizer_get_allocated_size(p)));
}

bool InstallHooks() {
    return __sanitizer_install_malloc_and_free_hooks && __sanitizer_get_allocated_size
           && __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree) != 0;
}

}  // namespace

bool HeapPeakAvailable() {
    static const bool installed = InstallHooks();
    return installed;
}

size_t HeapPeakOf(const std::function<void()>& work) {
    if (!HeapPeakAvailable()) {
        work();
        return 0;
    }
    g_held = 0;
    g_peak = 0;
    g_counting = true;
    work();
    g_counting = false;
    return static_cast<size_t>(g_peak.load());
}

}  // namespace gbxtest
