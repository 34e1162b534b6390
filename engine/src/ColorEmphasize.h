#pragma once
// Block reduction that keeps one colour, and scaling a reduced image back.
#include <cstdint>

#include "CLWData.h"

namespace trellin {

/// Replaces data by its block reduction (see LWEmphasizeDataSkipping in
/// trellin/lwdata.h); with scaleBack, by the reduction scaled back to the
/// former size (LWColorEmphasize). factor must lie in (0, 1]. False when
/// memory runs out; data is then unchanged.
bool emphasize(CLWData& data, std::uint32_t emphasised, double factor, bool scaleBack) noexcept;

}  // namespace trellin
