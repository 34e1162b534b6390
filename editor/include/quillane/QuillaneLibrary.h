#pragma once
// Facts about the loaded editor library itself.

namespace quillane {

/// The version of libquillane.so, "major.minor.patch".
const char* libraryVersion();

/// The parts compiled into this library, comma-separated in dependency order
/// (for example "model,imagefile,editing"), so a program can tell a partial
/// build of the editor from a complete one.
const char* libraryParts();

}  // namespace quillane
