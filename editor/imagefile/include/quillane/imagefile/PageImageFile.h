#pragma once
// PageImageFile: the page file of the editor window. It recognises a page
// file, checks it and reports its colour model (probe), fills the editor's
// gray page from it (decodeTiff / decodeOther), and writes the page back
// (save / saveAs). One object lives as long as the window and keeps the open
// file state between the calls.
//
// Reading is two calls so that the editor can ask for a gray conversion in
// between:
//   probe(path)        -> 1 gray, 3 RGB, 4 CMYK, or a failure code
//   setPage(&page); decodeTiff(mode) when hasTiffHandle(), else
//                   decodeOther(mode) when hasDecodedImage()  -> 0 or a code
// Gray conversion modes are those of GrayMode (GrayConversion.h). Result
// codes and their texts are in PageFileResult.h. Nothing is thrown and
// nothing is printed; libtiff's own warnings and errors are silenced and
// become result codes.
//
// Pages are limited to pagefile::kMaxPagePixels pixels; the limit is checked
// from the file header before any page memory is allocated (1003).
//
// Every write goes to a temporary file beside the target that replaces the
// target only when complete; a failed save leaves the old file as it was.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "quillane/imagefile/LoadedImage.h"
#include "quillane/imagefile/PageFileResult.h"
#include "quillane/imagefile/TiffHeader.h"
#include "quillane/model/QuillaneImage.h"

struct tiff;

namespace quillane {

class PageImageFile {
 public:
  /// One row of the extension table: a lower-case extension with its dot and
  /// its format kind.
  using ExtensionEntry = std::pair<std::string, int32_t>;

  /// An empty object: format kind 0, no path, no page, no open file.
  PageImageFile();
  ~PageImageFile();
  PageImageFile(const PageImageFile&) = delete;
  PageImageFile& operator=(const PageImageFile&) = delete;

  /// Frees the pixels of the attached page, closes the TIFF handle, releases
  /// the decoded image, empties the path and sets the format kind, the page
  /// pointer and the loader colour kind to 0. Call before opening a new page.
  void reset();

  // ---- reading ----------------------------------------------------------

  /// The format kind of the file from its first two bytes only ("II"/"MM" 1
  /// TIFF, FF D8 2 JPEG, 89 'P' 3 PNG, "BM" 4 BMP, else 5); the extension is
  /// not consulted. 1500 when the file cannot be opened, 1504 when it is
  /// shorter than two bytes, 1501 when it cannot be closed.
  [[nodiscard]] static int detectFormat(const std::string& path);

  /// Remembers path, clears the resolution-defaulted flag and reads the
  /// file's header (TIFF: the first page's tags; JPEG, PNG, BMP: the whole
  /// image, held for decodeOther). Returns 1 gray, 3 RGB or YCbCr, 4 CMYK, or
  /// 5 (unknown or unsupported), 1003 (over the page limit), 2001 (palette
  /// TIFF without colour map), 1500, 1501, 1504 (file access).
  ///
  /// TIFF: resolutions in centimetres are converted to inches; a palette whose
  /// red and green entries differ anywhere counts as 3 samples (still result
  /// 1: such a page becomes gray by the weighted formula). Photometric
  /// interpretations 0, 1, 3, 2, 5, 6 are accepted; sample sizes 1, 2, 4, 8,
  /// 16 bits (palettes 1..8).
  /// JPEG, PNG, BMP: a horizontal resolution outside 60..30000 dpi makes both
  /// 72 and sets resolutionDefaulted(). A CMYK JPEG shows the notice "JPEGの
  /// CMYK画像はサポート対象外です。RGBに変換して表示します。" and goes on as RGB.
  /// An RGB PNG whose every pixel is gray is reported as gray (1).
  [[nodiscard]] int probe(const std::string& path);

  /// The page that the decode calls fill (not owned; may be null).
  void setPage(QuillaneImage* page) { page_ = page; }
  QuillaneImage* page() const { return page_; }

  /// Fills the attached page from the open TIFF page with the gray mode:
  /// one byte a pixel, stride = width, resolution from the header (72 dpi and
  /// resolutionDefaulted() when it is outside 60..30000 or has no unit).
  /// Bilevel pages become 0 and 255 (WhiteIsZero inverted, as are gray
  /// WhiteIsZero pages); palettes go through their colour map (16-bit maps
  /// scaled to 8); 16-bit samples keep the high byte, 2 and 4-bit samples are
  /// scaled to 0..255. Tiled pages and YCbCr pages with chroma subsampling
  /// are read through libtiff's RGBA reader (a tiled CMYK page then offers
  /// only the weighted and darkest modes). Returns 0; 1202 for a compression
  /// the page kind does
  /// not support (bilevel and palette: none, LZW, Deflate, PackBits; others
  /// also JPEG; never CCITT); 1001 for a mode not offered; -1 when libtiff
  /// cannot deliver a strip or scanline; 5 without an open TIFF or page.
  [[nodiscard]] int decodeTiff(int32_t mode);

  /// Fills the attached page from the held JPEG, PNG or BMP image with the
  /// gray mode (see convertLoadedImage) and the file's resolution. A PNG
  /// with bit depth 1 (header byte 24) or a BMP of 1 bit a pixel is marked
  /// bilevel, so that saving it as PNG, BMP or TIFF writes 1 bit a pixel
  /// again. Returns 0, 1001, 1500/1501/1504 (reading the header byte), or 5
  /// without a held image or page.
  [[nodiscard]] int decodeOther(int32_t mode);

  // ---- writing ----------------------------------------------------------

  /// Writes the page to the current path in the format of the file-type
  /// index (1 JPEG, 2 TIFF, 3 PNG, 4 BMP). TIFF keeps the compression the
  /// page's own file had (its JPEG quality when it lay in 1..100, else 92);
  /// JPEG uses the quality level *jpegQualityLevel (0..12; null is 0).
  /// For TIFF the read handle is closed for the write and opened again on the
  /// file afterwards, whether or not the write succeeded.
  /// Returns 0, 1505 without a path, or a saveAs code.
  [[nodiscard]] int save(const int32_t* jpegQualityLevel, int32_t fileTypeIndex);

  /// Writes the page to path as formatKind (1..4).
  ///   compression   TIFF only: with useDialogChoices 1 LZW, 2 Deflate, 3 JPEG,
  ///                 anything else none; without, a TIFF compression code
  ///                 (0 is taken as none).
  ///   qualityLevel  0..12 -> 0, 30, 40, 50, 60, 68, 73, 78, 82, 86, 92, 96,
  ///                 100 %; 0 (and any level outside 0..12) gives the
  ///                 default, 82 for JPEG files and 92 for JPEG in TIFF.
  ///   useDialogChoices  also appends ".tif", ".jpg", ".png" or ".bmp" when
  ///                 the path's extension is not one of the format's.
  /// A bilevel page (see decodeOther; or a 1-bit TIFF) is written 1 bit a
  /// pixel as TIFF (WhiteIsZero), PNG and BMP, and 8-bit gray as JPEG and as
  /// JPEG-compressed TIFF. Resolution always travels with the page.
  /// Returns 0 (the object then has the new path and format kind), 1502 when
  /// an existing file at the path is read-only or hidden (name starting with
  /// '.') or no file can be created in its folder, 1000 for a format kind
  /// outside 1..4 or no page, 1503 when writing fails. On failure the path
  /// stays the old one and the file at the target is unchanged.
  [[nodiscard]] int saveAs(const std::string& path, int32_t formatKind, int32_t compression,
                           int32_t qualityLevel, bool useDialogChoices);

  // ---- state --------------------------------------------------------------

  const std::string& path() const { return path_; }
  int32_t formatKind() const { return formatKind_; }
  bool hasTiffHandle() const { return tiff_ != nullptr; }
  bool hasDecodedImage() const { return !decoded_.empty(); }
  const TiffHeader& tiffHeader() const { return header_; }
  /// Resolution of a JPEG, PNG or BMP file in dots per inch (after the
  /// 60..30000 check).
  double xResolution() const { return xResolution_; }
  double yResolution() const { return yResolution_; }
  /// The file had no usable resolution and 72 dpi was put in.
  bool resolutionDefaulted() const { return resolutionDefaulted_; }
  /// 4 when the file was a CMYK JPEG shown as RGB, else 0.
  int32_t loaderColorKind() const { return loaderColorKind_; }
  /// The page came from a 1-bit TIFF, PNG or BMP file.
  bool isBilevel() const;

  /// The extension table: ".tif" 1, ".tiff" 1, ".jpg" 2, ".jpeg" 2, ".jpe" 2,
  /// ".png" 3, ".bmp" 4, ".rle" 4.
  const std::vector<ExtensionEntry>& extensionTable() const { return extensions_; }
  /// The format kind of path's extension (compared in lower case): 0 when it
  /// has none, 5 when the table does not know it.
  int32_t extensionKind(const std::string& path) const;

  /// The file name with its extension, without the folder.
  static std::string fileName(const std::string& path);

  /// The JPEG percentage of a quality level (0..12; others give 0).
  static int32_t qualityPercent(int32_t level);

 private:
  int probeTiff();
  int probeLoaded(int32_t kind);
  int saveWithPercent(const std::string& path, int32_t formatKind, int32_t compression,
                      int32_t percent, bool useDialogChoices);
  void closeTiff();
  void clearHeader() { header_ = TiffHeader{}; }

  int32_t formatKind_ = kFormatNone;
  std::string path_;
  QuillaneImage* page_ = nullptr;
  TiffHeader header_;
  tiff* tiff_ = nullptr;
  LoadedImage decoded_;
  bool decodedBilevel_ = false;
  std::vector<ExtensionEntry> extensions_;
  double xResolution_ = 0.0;
  double yResolution_ = 0.0;
  bool resolutionDefaulted_ = false;
  int32_t loaderColorKind_ = 0;
};

}  // namespace quillane
