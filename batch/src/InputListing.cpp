// Listing of input pages; see InputListing.h.
#include "InputListing.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "common/FilePath.h"

namespace batch {
namespace fs = std::filesystem;

namespace {

void listFolder(const fs::path& folder, const std::string& relative, bool recursive,
                std::vector<InputPage>& pages) {
  std::error_code ec;
  std::vector<std::string> files;
  std::vector<std::string> folders;
  fs::directory_iterator it(folder, ec);
  if (ec) {
    pages.push_back({folder.string(), relative});
    return;
  }
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) break;
    const std::string name = it->path().filename().string();
    if (name.empty() || name[0] == '.') continue;
    std::error_code typeError;
    if (it->is_directory(typeError)) {
      if (recursive) folders.push_back(name);
    } else if (it->is_regular_file(typeError) && hasPageExtension(name)) {
      files.push_back(name);
    }
  }
  std::sort(files.begin(), files.end());
  std::sort(folders.begin(), folders.end());
  for (const std::string& name : files) pages.push_back({(folder / name).string(), relative});
  for (const std::string& name : folders)
    listFolder(folder / name, relative.empty() ? name : relative + "/" + name, recursive, pages);
}

}  // namespace

bool hasPageExtension(const std::string& name) {
  static const char* const kExtensions[] = {".tif", ".tiff", ".jpg", ".jpeg",
                                            ".jpe", ".png",  ".bmp", ".rle"};
  const std::string ext = common::lowerExtension(name);
  return std::any_of(std::begin(kExtensions), std::end(kExtensions),
                     [&](const char* e) { return ext == e; });
}

std::vector<InputPage> listInputs(const std::vector<std::string>& inputs, bool recursive) {
  std::vector<InputPage> pages;
  for (const std::string& input : inputs) {
    std::error_code ec;
    if (fs::is_directory(input, ec))
      listFolder(fs::path(input), "", recursive, pages);
    else
      pages.push_back({input, ""});
  }
  return pages;
}

}  // namespace batch
