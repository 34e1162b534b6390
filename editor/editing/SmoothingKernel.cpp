// The shared smoothing kernel, guarded so that a batch run on several threads
// and a settings change never meet half-way.
#include "quillane/editing/SmoothingKernel.h"

#include <mutex>

namespace quillane {
namespace {

std::mutex& kernelMutex() {
  static std::mutex mutex;
  return mutex;
}

std::array<float, 9>& currentWeights() {
  static std::array<float, 9> weights = kDefaultSmoothingWeights;
  return weights;
}

}  // namespace

mcFilterKernel smoothingKernel() {
  std::array<float, 9> weights;
  {
    std::lock_guard lock(kernelMutex());
    weights = currentWeights();
  }
  return mcFilterKernel(3, 3, std::vector<float>(weights.begin(), weights.end()));
}

void setSmoothingKernel(const std::array<float, 9>& weights) {
  std::lock_guard lock(kernelMutex());
  currentWeights() = weights;
}

}  // namespace quillane
