#include "common/FilePath.h"

#include <gtest/gtest.h>

using common::FilePath;

TEST(FilePath, SplitsAndJoins) {
  const FilePath p = FilePath::split("/scans/vol1/p001.Tif");
  EXPECT_EQ(p.folder, "/scans/vol1");
  EXPECT_EQ(p.baseName, "p001");
  EXPECT_EQ(p.extension, ".Tif");
  EXPECT_EQ(p.path(), "/scans/vol1/p001.Tif");

  const FilePath bare = FilePath::split("page");
  EXPECT_EQ(bare.folder, "");
  EXPECT_EQ(bare.fileName(), "page");
  EXPECT_EQ(bare.extension, "");

  const FilePath hidden = FilePath::split("/home/u/.settings");
  EXPECT_EQ(hidden.baseName, ".settings");
  EXPECT_EQ(hidden.extension, "");

  const FilePath twoDots = FilePath::split("dir.d/a.b.png");
  EXPECT_EQ(twoDots.folder, "dir.d");
  EXPECT_EQ(twoDots.baseName, "a.b");
  EXPECT_EQ(twoDots.extension, ".png");

  EXPECT_EQ(FilePath::split("/p.bmp").folder, "/");
  EXPECT_EQ(FilePath::split("/p.bmp").path(), "/p.bmp");
  EXPECT_EQ(common::joinPath("/a/", "b"), "/a/b");
  EXPECT_EQ(common::joinPath("", "b"), "b");
}

TEST(FilePath, LowerExtensionForLookups) {
  EXPECT_EQ(common::lowerExtension("/x/Page.JPEG"), ".jpeg");
  EXPECT_EQ(common::lowerExtension("/x.dir/page"), "");
  EXPECT_EQ(common::asciiLower("ÄB"), "Äb");
}
