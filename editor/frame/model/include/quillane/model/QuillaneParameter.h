#pragma once
// QuillaneParameter: the editor's adjustable values, carried from one run of
// the editor to the next through "QuillanePlugin.ini" (QuillaneIniFileIo).
//
// Mode-dependent values exist once for each dust mode (DustMode). The record
// starts with the defaults below; the load replaces them all or none.
#include <array>
#include <cstdint>
#include <string>

#include "quillane/model/DustMode.h"

namespace quillane {

/// A colour reference: red in bits 0-7, green in bits 8-15, blue in 16-23.
using ColourRef = uint32_t;

/// red + green * 256 + blue * 65536, each reduced modulo 256.
constexpr ColourRef packColour(int red, int green, int blue) {
  return static_cast<ColourRef>((red & 0xFF) | ((green & 0xFF) << 8) | ((blue & 0xFF) << 16));
}
constexpr int colourRed(ColourRef c) { return static_cast<int>(c & 0xFF); }
constexpr int colourGreen(ColourRef c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int colourBlue(ColourRef c) { return static_cast<int>((c >> 16) & 0xFF); }

/// Name of the settings file inside the settings folder.
inline constexpr const char* kQuillaneIniFileName = "QuillanePlugin.ini";

class QuillaneParameter {
 public:
  QuillaneParameter() = default;
  virtual ~QuillaneParameter() = default;
  QuillaneParameter(const QuillaneParameter&) = default;
  QuillaneParameter& operator=(const QuillaneParameter&) = default;

  /// Sets the settings folder and the settings file path inside it.
  void setSettingsFolder(const std::string& folder);

  /// Last dust size / gray threshold of a mode (the values under the
  /// "LASTDUSTSIZE_*" and "LASTGRAYTHRESHOLD_*" keys).
  int32_t& lastDustSize(DustMode mode) {
    return mode == DustMode::White ? lastDustSizeWhite : lastDustSizeBlack;
  }
  int32_t& lastGrayThreshold(DustMode mode) {
    return mode == DustMode::White ? lastGrayThresholdWhite : lastGrayThresholdBlack;
  }
  int32_t lastDustSize(DustMode mode) const {
    return mode == DustMode::White ? lastDustSizeWhite : lastDustSizeBlack;
  }
  int32_t lastGrayThreshold(DustMode mode) const {
    return mode == DustMode::White ? lastGrayThresholdWhite : lastGrayThresholdBlack;
  }
  /// Small, medium, large dust area at 600 dpi of a mode.
  const std::array<int32_t, 3>& dustSizePresets(DustMode mode) const {
    return mode == DustMode::White ? dustSizePresetsWhite : dustSizePresetsBlack;
  }
  /// Weak, medium, strong gray threshold of a mode.
  const std::array<int32_t, 3>& grayThresholdPresets(DustMode mode) const {
    return mode == DustMode::White ? grayThresholdPresetsWhite : grayThresholdPresetsBlack;
  }

  /// 3 x 3 detection filter weights, row by row (sum 256, anchor at the centre).
  std::array<float, 9> smoothingKernel{5, 26, 5, 26, 132, 26, 5, 26, 5};
  /// Size of the dust-removal brush and rectangle tools, pixels.
  int32_t brushSize = 60;
  /// Gray threshold last read from the threshold control (not saved).
  uint8_t currentGrayThreshold = 1;
  /// Dust size last read from the dust-size control (not saved).
  int32_t currentDustSize = 36;
  /// Size of the eraser tool, pixels.
  int32_t eraserSize = 60;
  /// Resolution of the current page, dots per inch (not saved).
  double resolution = 600.0;
  /// Dust size of the White mode ("LASTDUSTSIZE_BLACK").
  int32_t lastDustSizeWhite = 36;
  /// Dust size of the Black mode ("LASTDUSTSIZE_WHITE").
  int32_t lastDustSizeBlack = 36;
  /// Gray threshold of the White mode ("LASTGRAYTHRESHOLD_BLACK").
  int32_t lastGrayThresholdWhite = 1;
  /// Gray threshold of the Black mode ("LASTGRAYTHRESHOLD_WHITE").
  int32_t lastGrayThresholdBlack = 1;
  /// Colour in which found dust is drawn over the page, 0 ... 255 each.
  int32_t dustColourRed = 255;
  int32_t dustColourGreen = 0;
  int32_t dustColourBlue = 0;
  /// Filter index of the file dialogs, 1-based (1 JPEG, 2 TIFF, 3 PNG,
  /// 4 BMP, 5 all files in the open dialog); 0 selects the first entry.
  int32_t fileTypeIndex = 0;
  /// Small, medium, large dust area at 600 dpi ("DUSTRATIO_*_BLACK").
  std::array<int32_t, 3> dustSizePresetsWhite{9, 36, 144};
  /// The same for the Black mode ("DUSTRATIO_*_WHITE").
  std::array<int32_t, 3> dustSizePresetsBlack{9, 36, 144};
  /// Weak, medium, strong gray threshold ("GRAYTHRESHOLD_*_BLACK").
  std::array<int32_t, 3> grayThresholdPresetsWhite{40, 100, 200};
  /// The same for the Black mode ("GRAYTHRESHOLD_*_WHITE").
  std::array<int32_t, 3> grayThresholdPresetsBlack{50, 120, 220};
  /// Folder given by the host.
  std::string settingsFolder;
  /// settingsFolder + "/" + "QuillanePlugin.ini".
  std::string settingsFilePath;
  /// The sixteen custom colours of the colour chooser (white by default).
  std::array<ColourRef, 16> customColours{
      0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF,
      0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF};
};

}  // namespace quillane
