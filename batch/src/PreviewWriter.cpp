// RGB PNG previews of the dust removal; see PreviewWriter.h.
#include "PreviewWriter.h"

#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstdio>
#include <vector>

#include "quillane/imagefile/AtomicFile.h"
#include "quillane/imagefile/ImageWriter.h"
#include "quillane/imagefile/PageFileResult.h"

namespace batch {
namespace {

// One preview row: gray where the page is unchanged, the dust colour where
// the removal changed the pixel.
void previewRow(const uint8_t* before, const uint8_t* after, uint8_t* rgb, int32_t width,
                DustColour c) {
  for (int32_t x = 0; x < width; ++x) {
    const bool changed = before[x] != after[x];
    const uint8_t g = before[x];
    rgb[3 * x] = changed ? c.red : g;
    rgb[3 * x + 1] = changed ? c.green : g;
    rgb[3 * x + 2] = changed ? c.blue : g;
  }
}

// Writes the PNG stream; false on any libpng error. Kept apart from the
// caller so that no object with a destructor lives across setjmp.
bool writePng(std::FILE* file, const quillane::QuillaneImage& before,
              const quillane::QuillaneImage& after, DustColour colour, uint8_t* row) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  // Previews are looked at, not archived: fast compression and one filter.
  png_set_compression_level(png, 3);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
  const auto width = static_cast<png_uint_32>(before.width());
  const auto height = static_cast<png_uint_32>(before.height());
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
  const uint32_t x = quillane::pixelsPerMetre(before.horizontalResolution);
  const uint32_t y = quillane::pixelsPerMetre(before.verticalResolution);
  if (x > 0 && y > 0) png_set_pHYs(png, info, x, y, PNG_RESOLUTION_METER);
  png_write_info(png, info);
  for (int32_t r = 0; r < before.height(); ++r) {
    previewRow(before.row(r), after.row(r), row, before.width(), colour);
    png_write_row(png, row);
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return std::fflush(file) == 0;
}

}  // namespace

int writeDustPreview(const std::string& path, const quillane::QuillaneImage& before,
                     const quillane::QuillaneImage& after, DustColour colour) {
  namespace pf = quillane::pagefile;
  if (before.isEmpty() || before.width() != after.width() || before.height() != after.height())
    return pf::kBadFormatKind;
  quillane::AtomicFile target(path);
  if (!target.open()) return pf::kCannotOpenForWriting;
  std::FILE* file = target.openStream();
  if (file == nullptr) return pf::kWriteFailed;
  std::vector<uint8_t> row(static_cast<size_t>(before.width()) * 3);
  const bool written = writePng(file, before, after, colour, row.data());
  const bool closed = std::fclose(file) == 0;
  if (!written || !closed || !target.commit()) return pf::kWriteFailed;
  return pf::kSuccess;
}

}  // namespace batch
