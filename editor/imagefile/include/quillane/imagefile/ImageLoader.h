#pragma once
// Readers of JPEG, PNG and BMP files into LoadedImage.
//
// Every reader checks the width and height declared in the header against
// the page limit (pagefile::kMaxPagePixels) before any pixel memory exists
// and answers TooLarge without reading further. A damaged or truncated file
// gives Failed and an empty image; nothing is printed and nothing aborts.
//
//   JPEG  gray stays 1 channel; YCbCr and RGB become blue-green-red; CMYK and
//         YCCK are rendered as RGB (Adobe's inverted CMYK recognised by its
//         APP14 marker) and cmykConverted is set. Resolution from the JFIF
//         density (dots per inch or per centimetre). A stream that ends
//         before the last row fails instead of being padded.
//   PNG   every bit depth and colour type; 16-bit samples keep their high
//         byte, 1, 2 and 4-bit gray is scaled to 0..255, alpha is dropped, a
//         palette is expanded (to 1 channel when every entry is gray, else to
//         3). Resolution from pHYs when its unit is the metre.
//   BMP   1, 4, 8, 24 and 32 bits a pixel, bottom-up and top-down rows,
//         RLE8 and RLE4, 32-bit bit fields; palettes of gray entries give 1
//         channel. Resolution from the pixels-a-metre fields.
#include <cstdio>
#include <string>

#include "quillane/imagefile/LoadedImage.h"

namespace quillane {

/// Reads the file at path with the reader its first bytes select (JPEG, PNG
/// or BMP). Failed for a file that cannot be opened or has no known signature.
LoadStatus loadImage(const std::string& path, LoadedImage& image);

/// The readers on an open stream positioned at the start of the file. The
/// stream stays open; its position afterwards is unspecified.
LoadStatus readJpeg(std::FILE* file, LoadedImage& image);
LoadStatus readPng(std::FILE* file, LoadedImage& image);
LoadStatus readBmp(std::FILE* file, LoadedImage& image);

}  // namespace quillane
