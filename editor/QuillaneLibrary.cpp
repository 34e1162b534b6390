#include "quillane/QuillaneLibrary.h"

namespace quillane {

const char* libraryVersion() { return QUILLANE_VERSION; }

const char* libraryParts() { return QUILLANE_PARTS; }

}  // namespace quillane
