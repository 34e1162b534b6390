// One page through the cleaning steps; see PageJob.h.
#include "PageJob.h"

#include <chrono>
#include <cstring>
#include <filesystem>
#include <new>
#include <system_error>
#include <utility>

#include "PreviewWriter.h"
#include "SpotCounter.h"
#include "common/FilePath.h"
#include "quillane/editing/PinholeCommand.h"
#include "quillane/imagefile/GrayConversion.h"
#include "quillane/imagefile/PageImageFile.h"
#include "tonvale/TonvalePlugin.h"

namespace batch {
namespace {

namespace pf = quillane::pagefile;

struct DustOutcome {
  bool ok = false;
  int64_t spots = 0;
  int64_t pixels = 0;
  int32_t dustSize = 0;
  int32_t threshold = 0;
};

// Copies from into to. A freed page-sized buffer is handed to the next image
// of its size, so to's buffer of the last page serves this one.
bool copyImage(const quillane::QuillaneImage& from, quillane::QuillaneImage& to) {
  if (!to.createUninitialized(from.width(), from.height(), from.stride(), from.bytesPerPixel()))
    return false;
  std::memcpy(to.pixels(), from.pixels(), static_cast<size_t>(from.size()));
  to.horizontalResolution = from.horizontalResolution;
  to.verticalResolution = from.verticalResolution;
  return true;
}

// Counts the changed pixels and the removed spots of one row. A changed
// pixel belonged to a removed spot when it was on the spot side of the
// two-level copy (White: below the threshold byte; Black: at or above it);
// the other changed pixels were snapped to paper by the threshold.
int64_t spotRow(const uint8_t* before, const uint8_t* after, uint8_t* flags, int32_t width,
                bool white, uint8_t thresholdByte) {
  int64_t changed = 0;
  for (int32_t x = 0; x < width; ++x) {
    const bool differs = before[x] != after[x];
    const bool spotSide = white ? before[x] < thresholdByte : before[x] >= thresholdByte;
    flags[x] = static_cast<uint8_t>(differs && spotSide);
    changed += differs;
  }
  return changed;
}

// The editor's whole-page removal on page; before receives the page as it
// was (for the counts and the preview).
DustOutcome removeDust(quillane::QuillaneImage& page, quillane::QuillaneImage& before,
                       const quillane::DustSettings& s) {
  DustOutcome outcome;
  if (!copyImage(page, before)) return outcome;
  const bool white = s.mode == quillane::DustMode::White;
  quillane::PinholeCommand command(&page, white, s.threshold, nullptr, s.dustSize, true, 0);
  command.dustSizeEnabled = s.dustSizeEnabled;
  command.grayDustEnabled = s.grayDustEnabled;
  quillane::Rect changed;
  if (!command.execute(nullptr, changed, nullptr, nullptr)) return outcome;

  // The command leaves the threshold byte it really used (after the
  // criteria switches) in its field.
  std::unique_ptr<uint8_t[]> flags(new (std::nothrow) uint8_t[static_cast<size_t>(page.width())]);
  if (!flags) return outcome;
  SpotCounter spots;
  for (int32_t y = 0; y < page.height(); ++y) {
    outcome.pixels += spotRow(before.row(y), page.row(y), flags.get(), page.width(), white,
                              command.thresholdByte);
    spots.addRow(flags.get(), page.width());
  }
  outcome.spots = spots.count();
  outcome.dustSize = s.dustSizeEnabled ? s.dustSize : 0;
  outcome.threshold = s.grayDustEnabled ? s.threshold : 0;
  outcome.ok = true;
  return outcome;
}

void makeFolderFor(const std::string& path) {
  const std::string folder = common::FilePath::split(path).folder;
  if (folder.empty()) return;
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);  // a failure shows in the write
}

class Timer {
 public:
  double milliseconds() const {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start_)
        .count();
  }

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace

PageReport PageJob::run(const InputPage& input, size_t index) const {
  const Timer timer;
  PageReport report;
  report.input = input.path;
  auto finish = [&](PageStatus status, int code, std::string message) {
    report.status = status;
    report.code = code;
    report.message = std::move(message);
    report.milliseconds = timer.milliseconds();
    return report;
  };
  auto fileFailure = [&](int code, pf::MessageVariant variant) {
    return finish(PageStatus::Failed, code, pf::message(code, variant));
  };
  if (!plan_.conflict(index).empty()) return finish(PageStatus::Failed, 0, plan_.conflict(index));

  // 1. Reading, with the gray conversion.
  quillane::PageImageFile file;
  quillane::QuillaneImage page;
  const int probed = file.probe(input.path);
  int32_t grayMode = quillane::kGrayAsIs;
  if (probed == pf::kRgb || probed == pf::kCmyk) {
    if (options_.grayMode < 0) {
      return finish(PageStatus::Skipped, 0,
                    std::string(probed == pf::kRgb ? "RGB" : "CMYK") +
                        " colour page; --gray MODE turns it gray");
    }
    grayMode = options_.grayMode;
  } else if (probed != pf::kGray) {
    return fileFailure(probed, pf::MessageVariant::Reading);
  }
  file.setPage(&page);
  const int decoded = file.hasTiffHandle() ? file.decodeTiff(grayMode) : file.decodeOther(grayMode);
  if (decoded != pf::kSuccess) return fileFailure(decoded, pf::MessageVariant::Reading);
  report.width = page.width();
  report.height = page.height();
  report.xDpi = page.horizontalResolution;
  report.yDpi = page.verticalResolution;

  // 2. Density and dust, in the asked order. The density plug-in is the
  // job's own, holding the record of --density.
  // The copy of the page before the dust removal stays with the job's
  // thread, so the next page of the same size reuses its buffer.
  thread_local quillane::QuillaneImage before;
  // The preview compares the page before and right after the dust removal;
  // when the density adjustment follows, the removal's result is kept apart.
  quillane::QuillaneImage afterDust;
  const bool densityFirst = !options_.dustFirst;
  const bool keepAfterDust = !densityFirst && settings_.density && !options_.previewDir.empty();
  auto density = [&]() {
    tonvale::TonvalePlugin plugin;
    plugin.parameters().setRecord(*settings_.density);
    return plugin.executeTonvale(page.pixels(), page.width(), page.height(), page.stride(),
                                 page.pixels());
  };
  auto dust = [&]() {
    const auto outcome = removeDust(
        page, before, dustSettingsFor(options_, settings_.editor, page.horizontalResolution));
    report.dust = outcome.ok;
    report.spots = outcome.spots;
    report.pixels = outcome.pixels;
    report.dustSize = outcome.dustSize;
    report.threshold = outcome.threshold;
    return outcome.ok && (!keepAfterDust || copyImage(page, afterDust));
  };
  if (densityFirst && settings_.density && !density())
    return finish(PageStatus::Failed, 0, "density adjustment failed");
  if (options_.dust && !dust()) return finish(PageStatus::Failed, 0, "dust removal failed");
  if (!densityFirst && settings_.density && !density())
    return finish(PageStatus::Failed, 0, "density adjustment failed");

  // 3. Outputs.
  if (options_.dryRun) return finish(PageStatus::Cleaned, 0, {});
  // Both targets are checked before either is written, so a refused
  // preview never leaves a replaced page behind (or the reverse).
  const bool writePage = !options_.previewOnly;
  const bool writePreview = !options_.previewDir.empty();
  const int32_t kind = options_.formatKind != 0 ? options_.formatKind : file.formatKind();
  const std::string pageTarget = writePage ? plan_.outputPath(input, kind) : std::string();
  const std::string previewTarget = writePreview ? plan_.previewPath(input) : std::string();
  for (const auto& [target, replacesInput] :
       {std::pair{&pageTarget, true}, std::pair{&previewTarget, false}}) {
    if (target->empty()) continue;
    if (std::string refused = plan_.checkTarget(*target, input.path, replacesInput);
        !refused.empty())
      return finish(PageStatus::Failed, 0, std::move(refused));
  }
  if (writePage) {
    int32_t compression = 0;
    if (kind == quillane::kFormatTiff) {
      const int32_t own = file.tiffHeader().compression;
      compression = options_.tiffCompression.value_or(own != 0 ? own : 1);
    }
    if (!options_.inPlace) makeFolderFor(pageTarget);
    const int saved = file.saveAs(pageTarget, kind, compression, options_.qualityLevel, false);
    if (saved != pf::kSuccess) return fileFailure(saved, pf::MessageVariant::Writing);
    report.output = pageTarget;
  }
  if (writePreview) {
    makeFolderFor(previewTarget);
    const quillane::QuillaneParameter& e = settings_.editor;
    const DustColour colour{static_cast<uint8_t>(e.dustColourRed & 0xFF),
                            static_cast<uint8_t>(e.dustColourGreen & 0xFF),
                            static_cast<uint8_t>(e.dustColourBlue & 0xFF)};
    const int written =
        writeDustPreview(previewTarget, before, keepAfterDust ? afterDust : page, colour);
    if (written != pf::kSuccess) return fileFailure(written, pf::MessageVariant::Writing);
    report.preview = previewTarget;
  }
  return finish(PageStatus::Cleaned, 0, {});
}

}  // namespace batch
