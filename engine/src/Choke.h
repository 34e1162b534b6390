#pragma once
// LWChoke's work: shrinks the areas of the target colour by one pixel per
// pass.
#include <cstdint>

#include "CLWData.h"

namespace trellin {

/// Runs up to iterations erosion passes over data (see LWChoke in
/// trellin/lwdata.h). False when memory runs out; data is then unchanged.
bool choke(CLWData& data, std::int32_t iterations, std::int32_t neighbourhood,
           std::uint32_t targetColour, std::int32_t borderMode, std::uint32_t paintColour) noexcept;

}  // namespace trellin
