// Test-only allocation hook of the test executable: operator new is
// replaced (alloc_hook.cpp) so that a test can make one chosen allocation of
// the current thread fail as if the heap were exhausted, and can count the
// allocations of the current thread that are still live. The library itself
// is unchanged: everything it allocates goes through operator new.
#pragma once

namespace morvik {

// Arms a failure: the k-th following allocation of this thread (counted
// from 0) fails. A negative k disarms.
void ArmAllocationFailure(long k);

// Disarms; true when the armed failure happened.
bool DisarmAllocationFailure();

// Allocations made by this thread minus those it released.
long LiveAllocations();

}  // namespace morvik
