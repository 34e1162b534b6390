#pragma once
// QuillaneImage: the editor's page image, a FilterImageData with the page
// resolution. The page, the dust mask, undo patches and the scratch images of
// the commands are all QuillaneImages of one byte a pixel.
#include "quillane/model/FilterImageData.h"

namespace quillane {

class QuillaneImage : public FilterImageData {
 public:
  QuillaneImage() = default;
  QuillaneImage(QuillaneImage&&) noexcept = default;
  QuillaneImage& operator=(QuillaneImage&&) noexcept = default;

  /// Horizontal resolution in dots per inch, as set by the image reader;
  /// 0 until set. release() leaves it as it is.
  float horizontalResolution = 0.0f;
  /// Vertical resolution in dots per inch; 0 until set.
  float verticalResolution = 0.0f;
};

}  // namespace quillane
