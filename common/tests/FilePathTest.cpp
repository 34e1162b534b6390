#include "common/FilePath.h"

#include <gtest/gtest.h>

#include <array>

using common::FilePath;

TEST(FilePath, SplitsJoinsAndLowersExtensions) {
  // Path -> folder, base name, extension. A leading dot is no extension.
  const std::array<std::string, 4> cases[] = {
      {"/scans/vol1/p001.Tif", "/scans/vol1", "p001", ".Tif"},
      {"page", "", "page", ""},
      {"/home/u/.settings", "/home/u", ".settings", ""},
      {"dir.d/a.b.png", "dir.d", "a.b", ".png"},
      {"/p.bmp", "/", "p", ".bmp"}};
  for (const auto& [path, folder, base, extension] : cases) {
    const FilePath p = FilePath::split(path);
    EXPECT_EQ((std::array{p.folder, p.baseName, p.extension}),
              (std::array{folder, base, extension}))
        << path;
    EXPECT_EQ(p.path(), path);
  }
  EXPECT_EQ(common::joinPath("/a/", "b"), "/a/b");
  EXPECT_EQ(common::joinPath("", "b"), "b");
  EXPECT_EQ(common::lowerExtension("/x/Page.JPEG"), ".jpeg");
  EXPECT_EQ(common::lowerExtension("/x.dir/page"), "");
  EXPECT_EQ(common::asciiLower("ÄB"), "Äb");
}
