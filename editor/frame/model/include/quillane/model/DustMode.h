#pragma once
// The two background modes of the dust removal, named after the paper colour.
//
//   White: paper 255, dark specks (spot colour 0) are removed; the initial mode
//   Black: paper 0, white pinholes (spot colour 255) are removed
//
// The settings file names the colour of the specks instead: the White mode's
// values sit under keys ending in "_BLACK", the Black mode's under "_WHITE".
#include <cstdint>

namespace quillane {

enum class DustMode { White, Black };

/// 255 in the White mode, 0 in the Black mode.
constexpr uint8_t paperColour(DustMode mode) { return mode == DustMode::White ? 255 : 0; }
/// 0 in the White mode, 255 in the Black mode.
constexpr uint8_t spotColour(DustMode mode) { return mode == DustMode::White ? 0 : 255; }

}  // namespace quillane
