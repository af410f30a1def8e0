// Counts the bytes the program holds through operator new, so tests and
// benchmarks can see how much a piece of work allocates at its peak. Linked
// in only where one of these functions is used.
#pragma once
#include <cstddef>

namespace testing_support {

// Bytes held through operator new right now.
size_t AllocatedBytes();
// Calls of operator new so far: a loop that allocates per step shows it.
long long AllocationCount();
// Starts a new peak at what is held now.
void ResetAllocationPeak();
// The most held at once since the last reset, above what was held then.
size_t AllocationPeakSinceReset();

}  // namespace testing_support
