#pragma once
// InputListing: the pages a run works on, from the files and folders given on
// the command line.
//
// A file is taken as it is, whatever its name (its contents decide its format
// later, and a missing file is reported when it is read). A folder gives its
// page files: regular files whose extension is one of the page formats'
// (.tif .tiff .jpg .jpeg .jpe .png .bmp .rle, any case), sorted by name in
// byte order; names starting with '.' (hidden files, unfinished atomic
// writes) are left out. With recursive, subfolders are listed too, each
// after the files of its parent, and the page keeps its folder relative to
// the given one so that outputs can mirror the tree.
#include <string>
#include <vector>

namespace batch {

struct InputPage {
  std::string path;            ///< the page file
  std::string relativeFolder;  ///< folder below the given input folder ("" when none)
};

/// Lists the pages of inputs in order: each input in turn, a folder's pages
/// sorted by name. A folder that cannot be read adds an entry for the folder
/// itself, so that reading it fails and is reported like any unreadable page.
std::vector<InputPage> listInputs(const std::vector<std::string>& inputs, bool recursive);

/// True when the name's extension is one of the page formats' (any case).
bool hasPageExtension(const std::string& name);

}  // namespace batch
