#pragma once
// LWSpread's work, also used by the frame-inside smoothing: paints a band of
// one colour around the target pixels.
#include <cstdint>

#include "CLWData.h"
#include "WorkRow.h"

namespace trellin {

/// Shapes of the structuring element.
enum SpreadShape : std::int32_t { kSpreadCircle = 0, kSpreadDiamond = 1, kSpreadSquare = 2 };

/// Half-widths of the structuring element of the given shape and radius
/// (at least 1) for vertical distances 0 to count - 1, written into
/// profile; entries are capped at cap. Circle entries round(sqrt(r^2 - i^2))
/// and diamond entries r - i (rounded half up) are taken while they are at
/// least their distance i; the rest is completed by the symmetry of the
/// shape across its diagonal: entry i becomes the largest distance whose
/// entry is at least i.
void spreadProfile(std::int32_t shape, std::int32_t radius, std::int32_t* profile,
                   std::uint32_t count, std::int32_t cap) noexcept;

/// Paints every pixel within the structuring element of a target pixel
/// with spreadColour and attribute 0, except target and protected pixels.
/// Runs whose value is marks.target (and, with marks.protect, whose value is
/// marks.protectedColour) are marked first; from then on a pixel is target
/// when its attribute has LWATTR_TARGET and protected when it has
/// LWATTR_TARGET2. False for a radius below 1 or an unknown shape, and when
/// memory runs out; data is then unchanged.
bool spread(CLWData& data, std::int32_t radius, std::int32_t shape, const Marks& marks,
            std::uint32_t spreadColour) noexcept;

}  // namespace trellin
