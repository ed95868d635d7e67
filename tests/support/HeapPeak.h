// The most heap memory held at once while a piece of code runs, seen through the address
// sanitizer's allocation hooks (the test build's). Builds without the sanitizer cannot see it:
// HeapPeakAvailable answers false there and callers skip the check.
#pragma once

#include <cstddef>
#include <functional>

namespace gbxtest {

// Whether the allocation hooks exist in this build.
bool HeapPeakAvailable();

// Runs work and answers the largest number of bytes it held on the heap beyond what was held
// when it started (0 when HeapPeakAvailable is false). One measurement at a time.
size_t HeapPeakOf(const std::function<void()>& work);

}  // namespace gbxtest
