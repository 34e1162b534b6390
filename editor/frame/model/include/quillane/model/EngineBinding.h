#pragma once
// Run-time binding of the line-work engine, libtrellin.so.
//
// The editor never links the engine: bind() loads it from the folder of the
// running program (or from a folder given by a test), and each wrapper below
// looks its entry point up by its export name at every call. When the engine
// is not bound, or the entry point is missing from the loaded build, a
// wrapper returns the "nothing done" result of its row:
//
//   createLWData           "CreateLWData"           null
//   deleteLWData           "DeleteLWData"           nothing is called
//   setImageData           "LWDataSetImageData"     false
//   returnImageData        "LWDataReturnImageData"  false
//   pinhole                "LWPinhole"              false
//
// The binding state is process-wide. Binding and unbinding belong to one
// thread (the editor's run, the batch cleaner's start); the wrappers may be
// called from any thread while the engine is bound.
#include <cstdint>
#include <string>

#include "quillane/model/FilterImageData.h"

struct CLWData;

namespace quillane {

class EngineBinding {
 public:
  /// Engine colour values of one-byte pixels: gray 0 and gray 255.
  static constexpr int32_t kBlack = static_cast<int32_t>(0xFFFFFF00u);
  static constexpr int32_t kWhite = static_cast<int32_t>(0xFFFFFFFFu);

  /// Loads libtrellin.so from the folder of the running program unless the
  /// engine is already bound. Silent: a missing or broken library leaves the
  /// engine unbound. Returns whether the engine is bound afterwards.
  static bool bind();
  /// The same with the folder given (tests bind test builds of the engine).
  static bool bind(const std::string& folder);
  /// Frees the library if bound and clears the bound state.
  static void unbind();
  static bool isBound();

  static CLWData* createLWData();
  static void deleteLWData(CLWData* data);
  static bool setImageData(CLWData* data, int32_t width, int32_t height, int32_t stride,
                           int32_t bytesPerPixel, const uint8_t* pixels);
  static bool returnImageData(CLWData* data, int32_t width, int32_t height, int32_t stride,
                              int32_t bytesPerPixel, uint8_t* pixels);
  static bool pinhole(CLWData* data, int32_t targetColour, int32_t fillColour, int32_t largestArea);

  /// The pinhole sequence on a whole image, in place: create a container; set
  /// the image's pixels (its width, height, stride and bytes a pixel; a null
  /// pointer when it is empty); only if that succeeded run the pinhole
  /// operation that paints 4-connected areas of the spot colour holding at
  /// most largestArea pixels with the paper colour (removeDarkSpecks: spot 0,
  /// paper 255; else spot 255, paper 0); only if that succeeded return the
  /// pixels into the same buffer; always delete the container. Returns the
  /// result of the last step that ran; false when the engine is unbound, a
  /// name is missing or a step fails (the image is then unchanged).
  static bool runPinhole(FilterImageData& image, bool removeDarkSpecks, int32_t largestArea);
};

}  // namespace quillane
