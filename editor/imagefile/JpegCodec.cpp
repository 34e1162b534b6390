// JPEG reading and writing through libjpeg(-turbo).
//
// libjpeg reports errors through a callback that must not return; ours jumps
// back with longjmp to the function that set the jump point, which then
// destroys the codec object. Everything that must survive the jump lives in
// objects owned by the caller of that function, never in its own locals.
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>

// jpeglib.h needs size_t and FILE declared first.
#include <jerror.h>
#include <jpeglib.h>

#include "quillane/imagefile/ImageLoader.h"
#include "quillane/imagefile/ImageWriter.h"
#include "quillane/imagefile/PageFileResult.h"

namespace quillane {

namespace {

struct JpegErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  bool endOfData;  // the stream ended before the last row
};

[[noreturn]] void onJpegError(j_common_ptr codec) {
  auto* err = reinterpret_cast<JpegErrorManager*>(codec->err);
  std::longjmp(err->jump, 1);
}

void onJpegMessage(j_common_ptr codec, int level) {
  auto* err = reinterpret_cast<JpegErrorManager*>(codec->err);
  if (level < 0) {
    ++err->pub.num_warnings;
    // libjpeg pads a truncated stream with gray and warns; a truncated page
    // must not load as if it were complete.
    if (err->pub.msg_code == JWRN_JPEG_EOF) err->endOfData = true;
  }
}

void onJpegOutput(j_common_ptr) {}

void installErrorManager(JpegErrorManager* err) {
  jpeg_std_error(&err->pub);
  err->pub.error_exit = onJpegError;
  err->pub.emit_message = onJpegMessage;
  err->pub.output_message = onJpegOutput;
  err->endOfData = false;
}

// a * b / 255, rounded.
inline uint8_t mulDiv255(unsigned a, unsigned b) {
  const unsigned t = a * b + 128;
  return static_cast<uint8_t>((t + (t >> 8)) >> 8);
}

// One row of CMYK samples into blue, green, red. Adobe's files store the
// samples inverted (255 = no ink); plain files store the ink amount.
void cmykRowToBgr(const uint8_t* cmyk, uint8_t* bgr, int32_t width, bool adobeInverted) {
  for (int32_t x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
    unsigned c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
    if (!adobeInverted) {
      c = 255 - c;
      m = 255 - m;
      y = 255 - y;
      k = 255 - k;
    }
    bgr[0] = mulDiv255(y, k);
    bgr[1] = mulDiv255(m, k);
    bgr[2] = mulDiv255(c, k);
  }
}

struct JpegReadBuffers {
  std::unique_ptr<uint8_t[]> cmykRow;
};

LoadStatus runJpegRead(std::FILE* file, jpeg_decompress_struct* codec, JpegErrorManager* err,
                       JpegReadBuffers* buffers, LoadedImage* image) {
  codec->err = &err->pub;
  installErrorManager(err);
  if (setjmp(err->jump)) {
    jpeg_destroy_decompress(codec);
    return LoadStatus::Failed;
  }
  jpeg_create_decompress(codec);
  jpeg_stdio_src(codec, file);
  jpeg_read_header(codec, TRUE);
  if (!pagefile::pageSizeAllowed(codec->image_width, codec->image_height)) {
    jpeg_destroy_decompress(codec);
    return LoadStatus::TooLarge;
  }
  if (codec->saw_JFIF_marker && codec->X_density > 0 && codec->Y_density > 0) {
    if (codec->density_unit == 1) {
      image->xDpi = codec->X_density;
      image->yDpi = codec->Y_density;
    } else if (codec->density_unit == 2) {
      image->xDpi = codec->X_density * 2.54;
      image->yDpi = codec->Y_density * 2.54;
    }
  }
  const bool cmyk = codec->jpeg_color_space == JCS_CMYK || codec->jpeg_color_space == JCS_YCCK;
  if (cmyk) {
    codec->out_color_space = JCS_CMYK;
  } else if (codec->jpeg_color_space == JCS_GRAYSCALE) {
    codec->out_color_space = JCS_GRAYSCALE;
  } else {
    codec->out_color_space = JCS_EXT_BGR;
  }
  jpeg_start_decompress(codec);
  const auto width = static_cast<int32_t>(codec->output_width);
  const auto height = static_cast<int32_t>(codec->output_height);
  const int32_t channels = cmyk ? 3 : codec->output_components;
  if ((channels != 1 && channels != 3) || !image->allocate(width, height, channels)) {
    jpeg_destroy_decompress(codec);
    return LoadStatus::Failed;
  }
  if (cmyk) {
    buffers->cmykRow.reset(new (std::nothrow) uint8_t[static_cast<size_t>(width) * 4]);
    if (!buffers->cmykRow) {
      jpeg_destroy_decompress(codec);
      return LoadStatus::Failed;
    }
  }
  while (codec->output_scanline < codec->output_height) {
    const auto y = static_cast<int32_t>(codec->output_scanline);
    JSAMPROW row = cmyk ? buffers->cmykRow.get() : image->row(y);
    if (jpeg_read_scanlines(codec, &row, 1) != 1) break;
    if (cmyk) cmykRowToBgr(row, image->row(y), width, codec->saw_Adobe_marker);
  }
  const bool complete = codec->output_scanline == codec->output_height && !err->endOfData;
  jpeg_destroy_decompress(codec);
  if (!complete) return LoadStatus::Failed;
  image->cmykConverted = cmyk;
  return LoadStatus::Ok;
}

bool runJpegWrite(std::FILE* file, jpeg_compress_struct* codec, JpegErrorManager* err,
                  const GrayPageView* page, int quality) {
  codec->err = &err->pub;
  installErrorManager(err);
  if (setjmp(err->jump)) {
    jpeg_destroy_compress(codec);
    return false;
  }
  jpeg_create_compress(codec);
  jpeg_stdio_dest(codec, file);
  codec->image_width = static_cast<JDIMENSION>(page->width);
  codec->image_height = static_cast<JDIMENSION>(page->height);
  codec->input_components = 1;
  codec->in_color_space = JCS_GRAYSCALE;
  jpeg_set_defaults(codec);
  jpeg_set_quality(codec, quality < 1 ? 1 : (quality > 100 ? 100 : quality), TRUE);
  codec->write_JFIF_header = TRUE;
  // Rounded, not truncated: a page read at 299.9994 dpi (11811 pixels a
  // metre) must stay a 300 dpi page.
  const auto density = [](double dpi) -> UINT16 {
    if (dpi >= 65534.5) return 65535;
    return dpi >= 0.5 ? static_cast<UINT16>(dpi + 0.5) : 0;
  };
  const UINT16 xDensity = density(page->xDpi);
  const UINT16 yDensity = density(page->yDpi);
  if (xDensity > 0 && yDensity > 0) {
    codec->density_unit = 1;
    codec->X_density = xDensity;
    codec->Y_density = yDensity;
  } else {
    codec->density_unit = 0;
    codec->X_density = 1;
    codec->Y_density = 1;
  }
  jpeg_start_compress(codec, TRUE);
  while (codec->next_scanline < codec->image_height) {
    // libjpeg does not write through the row pointers it is given.
    auto* row = const_cast<JSAMPROW>(page->row(static_cast<int32_t>(codec->next_scanline)));
    jpeg_write_scanlines(codec, &row, 1);
  }
  jpeg_finish_compress(codec);
  jpeg_destroy_compress(codec);
  return true;
}

}  // namespace

LoadStatus readJpeg(std::FILE* file, LoadedImage& image) {
  image.clear();
  jpeg_decompress_struct codec{};
  JpegErrorManager err{};
  JpegReadBuffers buffers;
  const LoadStatus status = runJpegRead(file, &codec, &err, &buffers, &image);
  if (status != LoadStatus::Ok) image.clear();
  return status;
}

bool writeGrayJpeg(std::FILE* file, const GrayPageView& page, int quality) {
  if (page.pixels == nullptr || page.width <= 0 || page.height <= 0) return false;
  jpeg_compress_struct codec{};
  JpegErrorManager err{};
  if (!runJpegWrite(file, &codec, &err, &page, quality)) return false;
  return std::fflush(file) == 0 && !std::ferror(file);
}

}  // namespace quillane
