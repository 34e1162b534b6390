// Output names and overwrite checks; see OutputPlan.h.
#include "OutputPlan.h"

#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <system_error>

#include "common/FilePath.h"
#include "quillane/imagefile/PageFileResult.h"

namespace batch {
namespace {

bool identity(const std::string& path, std::pair<uint64_t, uint64_t>& id) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  id = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
  return true;
}

std::string below(const std::string& folder, const InputPage& page) {
  return page.relativeFolder.empty() ? folder : common::joinPath(folder, page.relativeFolder);
}

// One spelling for every name of a file ("out/./a.png", "out//a.png"), so
// that two names of one target are recognised.
std::string sameFileKey(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path canonical = std::filesystem::weakly_canonical(path, ec);
  return ec ? path : canonical.string();
}

}  // namespace

const char* OutputPlan::canonicalExtension(int32_t kind) {
  switch (kind) {
    case quillane::kFormatTiff:
      return ".tif";
    case quillane::kFormatJpeg:
      return ".jpg";
    case quillane::kFormatBmp:
      return ".bmp";
    default:
      return ".png";
  }
}

int32_t OutputPlan::extensionKind(const std::string& path) {
  const std::string ext = common::lowerExtension(path);
  if (ext.empty()) return quillane::kFormatNone;
  if (ext == ".tif" || ext == ".tiff") return quillane::kFormatTiff;
  if (ext == ".jpg" || ext == ".jpeg" || ext == ".jpe") return quillane::kFormatJpeg;
  if (ext == ".png") return quillane::kFormatPng;
  if (ext == ".bmp" || ext == ".rle") return quillane::kFormatBmp;
  return quillane::kFormatUnknown;
}

OutputPlan::OutputPlan(const BatchOptions& options, const std::vector<InputPage>& pages)
    : options_(options), conflicts_(pages.size()) {
  for (const InputPage& page : pages) {
    std::pair<uint64_t, uint64_t> id;
    if (identity(page.path, id)) inputIdentities_.insert(id);
  }
  // Names are predicted from the extensions (the contents are read later);
  // a page whose contents disagree with its extension is still caught by
  // checkTarget() if its output exists by then.
  // Cleaned pages and previews share one table: a preview may not land on
  // a cleaned page either.
  std::map<std::string, size_t> targets;
  for (size_t i = 0; i < pages.size(); ++i) {
    const InputPage& page = pages[i];
    if (!options.previewOnly && !options.dryRun) {
      std::string out = page.path;  // --in-place: a file given twice is written once
      if (!options.inPlace) {
        const int32_t ext = extensionKind(page.path);
        const int32_t kind = options.formatKind != 0
                                 ? options.formatKind
                                 : (ext >= quillane::kFormatTiff && ext <= quillane::kFormatBmp
                                        ? ext
                                        : quillane::kFormatNone);
        out = kind == quillane::kFormatNone
                  ? common::joinPath(below(options.outDir, page),
                                     common::FilePath::split(page.path).fileName())
                  : outputPath(page, kind);
      }
      const auto [it, added] = targets.emplace(sameFileKey(out), i);
      if (!added)
        conflicts_[i] = "output " + out + " is also written for " + pages[it->second].path;
    }
    if (!options.previewDir.empty() && !options.dryRun && conflicts_[i].empty()) {
      const std::string preview = previewPath(page);
      const auto [it, added] = targets.emplace(sameFileKey(preview), i);
      if (!added)
        conflicts_[i] = "preview " + preview + " is also written for " + pages[it->second].path;
    }
  }
}

std::string OutputPlan::outputPath(const InputPage& page, int32_t outputKind) const {
  if (options_.inPlace) return page.path;
  const common::FilePath input = common::FilePath::split(page.path);
  const std::string ext =
      extensionKind(page.path) == outputKind ? input.extension : canonicalExtension(outputKind);
  return common::joinPath(below(options_.outDir, page), input.baseName + ext);
}

std::string OutputPlan::previewPath(const InputPage& page) const {
  if (options_.previewDir.empty()) return {};
  return common::joinPath(below(options_.previewDir, page),
                          common::FilePath::split(page.path).baseName + ".png");
}

std::string OutputPlan::checkTarget(const std::string& target, const std::string& inputPath,
                                    bool replacesInput) const {
  std::pair<uint64_t, uint64_t> id;
  if (!identity(target, id)) return {};
  std::pair<uint64_t, uint64_t> own;
  const bool isOwnInput = identity(inputPath, own) && own == id;
  if (isOwnInput && replacesInput && options_.inPlace) return {};
  if (inputIdentities_.count(id) != 0)
    return target + " is an input of this run; it is only replaced by --in-place";
  if (!options_.overwrite) return target + " exists (--overwrite replaces it)";
  return {};
}

}  // namespace batch
