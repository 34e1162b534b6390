#pragma once
// LWFilamentation's work: thins the areas of the target colour towards
// lines and optionally cleans off dots and spur ends.
#include <cstdint>

#include "CLWData.h"

namespace trellin {

/// Runs the thinning passes and clean-up rounds over data (see
/// LWFilamentation in trellin/lwdata.h). False when memory runs out; data is
/// then unchanged.
bool filamentation(CLWData& data, std::uint32_t targetColour, std::int32_t passes, bool cleanUp,
                   bool keepDots) noexcept;

}  // namespace trellin
