#include "common/IniFile.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;
using common::IniError;
using common::IniFile;

namespace {

class IniFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/inifile-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    // Readable by an unprivileged user, for the forked write test.
    fs::permissions(dir_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec);
  }
  void TearDown() override {
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(dir_);
  }
  std::string file(const std::string& name, const std::string& content) {
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }
  static std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  static int codeOf(const std::function<void()>& f) {
    try {
      f();
    } catch (const IniError& e) {
      return e.code();
    }
    return 0;
  }
  fs::path dir_;
};

TEST_F(IniFileTest, ReadsWithPrivateProfileRules) {
  const IniFile ini(file("a.ini",
                         "; comment\n"
                         "[Alpha]\n"
                         "  Size =  42  \n"
                         "signed=-17\n"
                         "plus=+8\n"
                         "trailing=12abc\n"
                         "letters=abc\n"
                         "empty=\n"
                         "quoted=\"  spaced \"\n"
                         "dup=1\n"
                         "dup=2\n"
                         "[beta]\n"
                         "size=7\n"));
  EXPECT_EQ(ini.readInt("alpha", "SIZE", -1), 42);
  EXPECT_EQ(ini.readInt("ALPHA", "signed", 0), -17);
  EXPECT_EQ(ini.readInt("Alpha", "plus", 0), 8);
  EXPECT_EQ(ini.readInt("Alpha", "trailing", 0), 12);
  EXPECT_EQ(ini.readInt("Alpha", "letters", -5), 0);
  EXPECT_EQ(ini.readInt("Alpha", "empty", -5), -5);
  EXPECT_EQ(ini.readInt("Alpha", "missing", -5), -5);
  EXPECT_EQ(ini.readInt("Gamma", "size", -5), -5);
  EXPECT_EQ(ini.readInt("Alpha", "dup", 0), 1);
  EXPECT_EQ(ini.readInt("Beta", "size", 0), 7);
  EXPECT_EQ(ini.readString("Alpha", "size", "x"), "42");
  EXPECT_EQ(ini.readString("Alpha", "empty", "x"), "");
  EXPECT_EQ(ini.readString("Alpha", "quoted", "x"), "  spaced ");
  EXPECT_EQ(ini.readString("Alpha", "nothing", "dflt"), "dflt");
  EXPECT_EQ(IniFile((dir_ / "none.ini").string()).readInt("Alpha", "size", 3), 3);
}

TEST_F(IniFileTest, ReadsCp932FilesAndUtf8Files) {
  // "普通にクッキリ" in Shift-JIS, as a file written on Windows would hold it.
  const IniFile sjis(file("sjis.ini",
                          "[TonvaleMode_0]\r\nMODE_NAME=\x95\x81\x92\xCA\x82\xC9\x83N\x83"
                          "b\x83L\x83\x8A\r\n"));
  EXPECT_EQ(sjis.readString("TonvaleMode_0", "MODE_NAME", ""), "普通にクッキリ");
  const IniFile utf8(file("utf8.ini", "\xEF\xBB\xBF[S]\nNAME=下書きを消す\n"));
  EXPECT_EQ(utf8.readString("s", "name", ""), "下書きを消す");
}

TEST_F(IniFileTest, WriteKeepsTheByteOrderMark) {
  // Behind the skipped mark a second one starts the first line, so that line
  // is no section header. Dropping the first mark on writing would make it
  // one, and the written key would read back as the value of "K=old".
  const std::string path = file("bom.ini", "\xEF\xBB\xBF\xEF\xBB\xBF[S]\nK=old\n");
  const IniFile ini(path);
  EXPECT_EQ(ini.readString("S", "K", "none"), "none");
  ini.writeString("S", "K", "new");
  EXPECT_EQ(ini.readString("S", "K", "none"), "new");
  EXPECT_EQ(slurp(path), "\xEF\xBB\xBF\xEF\xBB\xBF[S]\nK=old\n[S]\nK=new\n");
}

TEST_F(IniFileTest, WritesReplaceOrAppendAndKeepOtherLines) {
  const std::string path = file("w.ini",
                                "; keep me\r\n"
                                "[One]\r\n"
                                "A = 1\r\n"
                                "B=2\r\n"
                                "\r\n"
                                "[Two]\r\n"
                                "C=3\r\n");
  const IniFile ini(path);
  ini.writeInt("one", "a", 10);
  ini.writeString("ONE", "New", "x");
  ini.writeInt("Three", "D", -4);
  EXPECT_EQ(slurp(path),
            "; keep me\r\n"
            "[One]\r\n"
            "a=10\r\n"
            "B=2\r\n"
            "New=x\r\n"
            "\r\n"
            "[Two]\r\n"
            "C=3\r\n"
            "[Three]\r\n"
            "D=-4\r\n");
  EXPECT_EQ(ini.readInt("three", "d", 0), -4);
}

TEST_F(IniFileTest, WriteConvertsCp932FileToUtf8) {
  const std::string path = file("conv.ini", "[M]\nNAME=\x89\xBA\x8F\x91\x82\xAB\n");  // 下書き
  IniFile(path).writeInt("M", "N", 1);
  EXPECT_EQ(slurp(path), "[M]\nNAME=下書き\nN=1\n");
}

TEST_F(IniFileTest, OpenChecksRaiseNotAccessible) {
  const IniFile missing((dir_ / "missing.ini").string());
  EXPECT_EQ(codeOf([&] { missing.openForReading(); }), common::kIniNotAccessible);
  EXPECT_EQ(codeOf([&] { IniFile(dir_.string()).openForReading(); }), common::kIniNotAccessible);

  const IniFile deep((dir_ / "x" / "y" / "z.ini").string());
  EXPECT_EQ(codeOf([&] { deep.openForWriting(); }), 0);
  EXPECT_TRUE(fs::is_regular_file(dir_ / "x" / "y" / "z.ini"));
  EXPECT_EQ(codeOf([&] { deep.openForReading(); }), 0);

  const std::string blocker = file("blocker", "");
  const IniFile underFile(blocker + "/sub/s.ini");
  EXPECT_EQ(codeOf([&] { underFile.openForWriting(); }), common::kIniNotAccessible);
  EXPECT_EQ(codeOf([&] { underFile.writeInt("S", "k", 1); }), common::kIniWriteRefused);
}

// The write into a read-only folder runs in a child process under an
// unprivileged user, since root may write anywhere.
TEST_F(IniFileTest, RefusedWriteLeavesOldFileIntact) {
  const std::string original = "[S]\nK=1\n";
  const std::string path = file("ro.ini", original);
  chmod(path.c_str(), 0666);
  fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                            fs::perms::group_exec | fs::perms::others_read |
                            fs::perms::others_exec);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (geteuid() == 0) {
      const passwd* nobody = getpwnam("nobody");
      if (!nobody || setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0) _exit(3);
    }
    try {
      IniFile(path).writeInt("S", "K", 2);
    } catch (const IniError& e) {
      _exit(e.code() == common::kIniWriteRefused ? 0 : 1);
    }
    _exit(2);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: wrong code, 2: no error, 3: could not drop rights";
  EXPECT_EQ(slurp(path), original);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1)
      << "no temporary file may be left behind";
}

}  // namespace
