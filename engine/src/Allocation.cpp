#include "Allocation.h"

#ifdef TRELLIN_FAULT_INJECTION
namespace trellin {
namespace {
std::uint64_t failAt = 0;
std::uint64_t calls = 0;
}  // namespace

void* allocateBytes(std::size_t bytes) noexcept {
  ++calls;
  if (calls == failAt) return nullptr;
  return std::malloc(bytes ? bytes : 1);
}

namespace fault {
void failAllocationAt(std::uint64_t n) noexcept {
  failAt = n;
  calls = 0;
}
std::uint64_t allocationCount() noexcept { return calls; }
}  // namespace fault
}  // namespace trellin
#endif
