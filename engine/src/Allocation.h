#pragma once
// Every allocation of the engine goes through allocateBytes / releaseBytes.
// The engine never uses operator new or a standard container that allocates,
// so no exception can start inside it: running out of memory is a null
// pointer that each caller turns into a 0 result.
//
// A build compiled with TRELLIN_FAULT_INJECTION counts the allocations and
// can be told to fail the n-th one, so that tests can walk a failure through
// every allocation of an operation. The product build calls malloc directly.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace trellin {

#ifdef TRELLIN_FAULT_INJECTION
void* allocateBytes(std::size_t bytes) noexcept;
#else
inline void* allocateBytes(std::size_t bytes) noexcept { return std::malloc(bytes ? bytes : 1); }
#endif

inline void releaseBytes(void* memory) noexcept { std::free(memory); }

/// Room for count objects of T (uninitialised), or null when memory runs out
/// or count * sizeof(T) does not fit in a size_t.
template <class T>
T* allocateArray(std::size_t count) noexcept {
  if (count > SIZE_MAX / sizeof(T)) return nullptr;
  return static_cast<T*>(allocateBytes(count * sizeof(T)));
}

#ifdef TRELLIN_FAULT_INJECTION
namespace fault {
/// Makes the n-th allocation from now on fail (1 = the next one); every
/// other allocation succeeds. 0 switches failures off. Restarts the count.
void failAllocationAt(std::uint64_t n) noexcept;
/// Allocations requested since the last failAllocationAt call.
std::uint64_t allocationCount() noexcept;
}  // namespace fault
#endif

}  // namespace trellin
