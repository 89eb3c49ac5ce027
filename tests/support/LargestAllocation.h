// Watches the size of every allocation a test program makes, to prove that a loader did not
// believe a stored count before the bytes behind it arrived. Linking LargestAllocation.cpp into a
// test program replaces its global allocation functions.
#pragma once

#include <cstddef>

namespace Tamrix::Testing {

// Forgets the largest allocation seen so far and starts watching.
void StartWatchingAllocations();

// Stops watching and returns the largest single allocation since StartWatchingAllocations.
std::size_t StopWatchingAllocations();

}  // namespace Tamrix::Testing
