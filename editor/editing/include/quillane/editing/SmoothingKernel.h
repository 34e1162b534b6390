#pragma once
// The smoothing kernel shared by every rim smoothing of the editor: 3 x 3,
// anchor at the centre. The editor window copies the nine weights of its
// settings record (QuillaneParameter::smoothingKernel) into it when it is
// built; until then it holds the default 5 26 5 / 26 132 26 / 5 26 5.
#include <array>

#include "quillane/editing/mcFilterKernel.h"

namespace quillane {

/// The nine default weights, row by row (sum 256).
inline constexpr std::array<float, 9> kDefaultSmoothingWeights{5, 26, 5, 26, 132, 26, 5, 26, 5};

/// A copy of the current smoothing kernel. Safe to call from any thread.
mcFilterKernel smoothingKernel();

/// Replaces the nine weights (row by row) of the shared smoothing kernel.
void setSmoothingKernel(const std::array<float, 9>& weights);

}  // namespace quillane
