// The settings file (the reading rules, Shift-JIS files, edits that
// keep the rest of the file, refused writes that keep the old file), file
// paths and notices.
#include "common/FilePath.h"
#include "common/IniFile.h"
#include "common/Notice.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <tuple>
#include <vector>

namespace fs = std::filesystem;
using namespace common;

namespace {

class IniFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir_);
    fs::permissions(dir_, fs::perms(0755));  // for the unprivileged child of the refused write
  }
  void TearDown() override {
    fs::permissions(dir_, fs::perms(0755));
    fs::remove_all(dir_);
  }
  std::string file(const std::string& name, const std::string& content) {
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }
  static std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  static int codeOf(const std::function<void()>& f) try {
    f();
    return 0;
  } catch (const IniError& e) {
    return e.code();
  }
  const fs::path dir_ = fs::temp_directory_path() / ("inifile-" + std::to_string(getpid()));
};

TEST_F(IniFileTest, ReadsWithPrivateProfileRulesAndShiftJis) {
  const IniFile ini(
      file("a.ini",
           "; comment\n[Alpha]\n  Size =  42  \nsigned=-17\nplus=+8\ntrailing=12abc\n"
           "letters=abc\nempty=\nquoted=\"  spaced \"\ndup=1\ndup=2\n[beta]\nsize=7\n"));
  // Section and key names ignore case; a missing or empty value gives the
  // default, text after the digits is ignored, the first of two keys counts.
  const std::tuple<const char*, const char*, int> ints[] = {
      {"alpha", "SIZE", 42},     {"ALPHA", "signed", -17}, {"Alpha", "plus", 8},
      {"Alpha", "trailing", 12}, {"Alpha", "letters", 0},  {"Alpha", "empty", -5},
      {"Alpha", "missing", -5},  {"Gamma", "size", -5},    {"Alpha", "dup", 1},
      {"Beta", "size", 7}};
  for (const auto& [section, key, value] : ints)
    EXPECT_EQ(ini.readInt(section, key, -5), value) << section << "/" << key;
  const std::tuple<const char*, const char*> strings[] = {
      {"size", "42"}, {"empty", ""}, {"quoted", "  spaced "}, {"nothing", "dflt"}};
  for (const auto& [key, value] : strings)
    EXPECT_EQ(ini.readString("Alpha", key, "dflt"), value) << key;
  EXPECT_EQ(IniFile((dir_ / "none.ini").string()).readInt("Alpha", "size", 3), 3);

  // "普通にクッキリ" in Shift-JIS, as a file written on Windows would hold it.
  const std::string sjis = file("sjis.ini",
                                "[TonvaleMode_0]\r\nMODE_NAME=\x95\x81\x92\xCA\x82\xC9\x83N\x83"
                                "b\x83L\x83\x8A\r\n");
  EXPECT_EQ(IniFile(sjis).readString("TonvaleMode_0", "MODE_NAME", ""), "普通にクッキリ");
  IniFile(sjis).writeInt("TonvaleMode_0", "N", 1);
  EXPECT_EQ(slurp(sjis), "[TonvaleMode_0]\r\nMODE_NAME=普通にクッキリ\r\nN=1\r\n");
}

TEST_F(IniFileTest, WritesReplaceOrAppendAndKeepOtherLines) {
  const std::string path =
      file("w.ini", "; keep me\r\n[One]\r\nA = 1\r\nB=2\r\n\r\n[Two]\r\nC=3\r\n");
  const IniFile ini(path);
  ini.writeInt("one", "a", 10);
  ini.writeString("ONE", "New", "x");
  ini.writeInt("Three", "D", -4);
  EXPECT_EQ(
      slurp(path),
      "; keep me\r\n[One]\r\na=10\r\nB=2\r\nNew=x\r\n\r\n[Two]\r\nC=3\r\n[Three]\r\nD=-4\r\n");
  // An edit of several keys changes the file only when committed.
  const std::string before = slurp(path);
  IniEdit edit(ini);
  edit.writeInt("two", "c", 30);
  edit.writeString("Four", "E", "y");
  EXPECT_EQ(slurp(path), before);
  edit.commit();
  EXPECT_EQ(slurp(path),
            "; keep me\r\n[One]\r\na=10\r\nB=2\r\nNew=x\r\n\r\n[Two]\r\nc=30\r\n[Three]\r\n"
            "D=-4\r\n[Four]\r\nE=y\r\n");

  // Behind the skipped byte order mark a second one starts the first line, so
  // that line is no section header. Dropping the first mark on writing would
  // make it one, and the written key would read back as the value of "K=old".
  const std::string marked = file("bom.ini", "\xEF\xBB\xBF\xEF\xBB\xBF[S]\nK=old\n");
  EXPECT_EQ(IniFile(marked).readString("S", "K", "none"), "none");
  IniFile(marked).writeString("S", "K", "new");
  EXPECT_EQ(slurp(marked), "\xEF\xBB\xBF\xEF\xBB\xBF[S]\nK=old\n[S]\nK=new\n");
}

TEST_F(IniFileTest, OpenChecksRaiseNotAccessible) {
  EXPECT_EQ(codeOf([&] { IniFile((dir_ / "none.ini").string()).openForReading(); }),
            kIniNotAccessible);
  EXPECT_EQ(codeOf([&] { IniFile(dir_.string()).openForReading(); }), kIniNotAccessible);
  const IniFile underFile(file("blocker", "") + "/sub/s.ini");
  EXPECT_EQ(codeOf([&] { underFile.openForWriting(); }), kIniNotAccessible);
  EXPECT_EQ(codeOf([&] { underFile.writeInt("S", "k", 1); }), kIniWriteRefused);
}

// The write into a read-only folder runs in a child process under an
// unprivileged user, since root may write anywhere.
TEST_F(IniFileTest, RefusedWriteLeavesOldFileIntact) {
  const std::string path = file("ro.ini", "[S]\nK=1\n");
  fs::permissions(path, fs::perms(0666));
  fs::permissions(dir_, fs::perms(0555));
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (geteuid() == 0) {
      const passwd* nobody = getpwnam("nobody");
      if (!nobody || setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0) _exit(3);
    }
    _exit(codeOf([&] { IniFile(path).writeInt("S", "K", 2); }) == kIniWriteRefused ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: no or a wrong error, 3: could not drop rights";
  EXPECT_EQ(slurp(path), "[S]\nK=1\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1)
      << "no temporary file may be left behind";
}

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
  EXPECT_EQ(joinPath("/a/", "b"), "/a/b");
  EXPECT_EQ(joinPath("", "b"), "b");
  EXPECT_EQ(lowerExtension("/x/Page.JPEG"), ".jpeg");
  EXPECT_EQ(lowerExtension("/x.dir/page"), "");
  EXPECT_EQ(asciiLower("ÄB"), "Äb");
}

TEST(Notice, HandlerIsReplacedAndRestored) {
  std::vector<std::string> seen;
  {
    ScopedNoticeHandler recorder([&](const std::string& text, NoticeIcon icon, NoticeButtons) {
      seen.push_back(text + (icon == NoticeIcon::Stop ? "!" : ""));
      return NoticeAnswer::No;
    });
    EXPECT_EQ(notice("ユーザー設定", NoticeIcon::Stop, NoticeButtons::YesNoCancel),
              NoticeAnswer::No);
  }
  EXPECT_EQ(seen, std::vector<std::string>{"ユーザー設定!"});
  // The default handler prints and answers the default button.
  EXPECT_EQ(notice("x", NoticeIcon::None, NoticeButtons::YesNoCancel), NoticeAnswer::Yes);
  EXPECT_EQ(notice("x", NoticeIcon::None), NoticeAnswer::Ok);
  EXPECT_EQ(seen.size(), 1u);
}

}  // namespace
