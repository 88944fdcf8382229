// The platform services: the documents folder and folders of one's own, the first matching
// file, and addresses reaching the opener as one argument (a real opener program on PATH on
// POSIX systems; ShellExecuteA under Wine).
#include "Util_Platform.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {
// A private folder per test, removed with everything in it.
class PlatformTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    static int counter = 0;
    mDir = fs::temp_directory_path() /
           ("vx_util_platform_" + std::to_string((long long)::testing::UnitTest::GetInstance()->random_seed()) + "_" +
            std::to_string(++counter));
    std::error_code ec;
    fs::remove_all(mDir, ec);
    fs::create_directories(mDir);
  }
  void TearDown() override
  {
    std::error_code ec;
    fs::remove_all(mDir, ec);
  }
  void Touch(const fs::path& p) { std::ofstream(p) << "x"; }
  std::string Dir() const { return mDir.string(); }
  fs::path mDir;
};

std::vector<std::string> sOpened;
EUtilOpenResult RecordAddress(const char* address, void*)
{
  sOpened.push_back(address);
  return EUtilOpenResult::kNotFound;
}
}  // namespace

TEST_F(PlatformTest, SubFolderPathsAreWrittenAsThePlatformWritesFolders)
{
  char out[64] = "old";
  ASSERT_TRUE(Util_SubFolderPath(out, sizeof out, "C", "Veldramix THD Meter"));
#ifdef _WIN32
  EXPECT_STREQ(out, "C\\Veldramix THD Meter\\");
#else
  EXPECT_STREQ(out, "C/Veldramix THD Meter");
#endif
  char small[8] = "old";
  EXPECT_FALSE(Util_SubFolderPath(small, sizeof small, "parent", "name"));
  EXPECT_STREQ(small, "");
  EXPECT_FALSE(Util_SubFolderPath(out, sizeof out, nullptr, "name"));
  EXPECT_STREQ(out, "");
}

TEST_F(PlatformTest, MakeFolderCreatesOneLevelPrivateToItsOwner)
{
  const std::string folder = (mDir / "made").string();
  ASSERT_TRUE(Util_MakeFolder(folder.c_str()));
  EXPECT_TRUE(fs::is_directory(folder));
#ifndef _WIN32
  struct stat st;
  ASSERT_EQ(stat(folder.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
#endif
  EXPECT_TRUE(Util_MakeFolder(folder.c_str())) << "an existing folder is fine";
  Touch(mDir / "file");
  EXPECT_FALSE(Util_MakeFolder((mDir / "file").string().c_str())) << "a file is no folder";
  EXPECT_FALSE(Util_MakeFolder((mDir / "no" / "parent").string().c_str()));
  EXPECT_FALSE(fs::exists(mDir / "no"));
  EXPECT_FALSE(Util_MakeFolder(""));
}

TEST_F(PlatformTest, DocumentsFolder)
{
  char path[1024] = "old";
#ifdef _WIN32
  // Wine's shell answers with the prefix's Documents folder.
  ASSERT_EQ(Util_DocumentsFolder(path, sizeof path), EUtilFolderResult::kFound);
  EXPECT_NE(path[0], 0);
  EXPECT_NE(path[std::strlen(path) - 1], '\\');
#else
  const char* old = std::getenv("HOME");
  const std::string saved = old ? old : "";
  setenv("HOME", "/home/alma", 1);
  EXPECT_EQ(Util_DocumentsFolder(path, sizeof path), EUtilFolderResult::kFound);
  EXPECT_STREQ(path, "/home/alma/Documents");
  char small[12] = "old";
  EXPECT_EQ(Util_DocumentsFolder(small, sizeof small), EUtilFolderResult::kNone);
  EXPECT_STREQ(small, "");
  // Without HOME the account's own home directory serves.
  unsetenv("HOME");
  EXPECT_EQ(Util_DocumentsFolder(path, sizeof path), EUtilFolderResult::kFound);
  EXPECT_EQ(std::string(path).rfind("/Documents"), std::strlen(path) - 10) << path;
  if (old) setenv("HOME", saved.c_str(), 1);
#endif
}

#ifdef _WIN32
TEST_F(PlatformTest, WideFolderPathsInTheCodePageOrNotAtAll)
{
  char folder[1024] = "old";
  ASSERT_EQ(Util_FolderFromWide(L"C:\\users\\alma\\Documents", folder, sizeof folder), EUtilFolderResult::kFound);
  EXPECT_STREQ(folder, "C:\\users\\alma\\Documents");

  // A user name in Chinese characters: no single-byte code page holds it.
  std::strcpy(folder, "old");
  EXPECT_EQ(Util_FolderFromWide(L"C:\\users\\\u674e\u660e\\Documents", folder, sizeof folder), EUtilFolderResult::kNone);
  EXPECT_STREQ(folder, "");
  // What the meter's folder used to become then: its name at the root of the current drive.
  EXPECT_EQ(GetFileAttributesA("\\Veldramix THD Meter"), INVALID_FILE_ATTRIBUTES);

  std::strcpy(folder, "old");
  EXPECT_EQ(Util_FolderFromWide(L"", folder, sizeof folder), EUtilFolderResult::kNone);
  EXPECT_STREQ(folder, "");
  std::wstring longPath(1199, L'a');
  EXPECT_EQ(Util_FolderFromWide(longPath.c_str(), folder, sizeof folder), EUtilFolderResult::kNone);
  EXPECT_STREQ(folder, "");
  EXPECT_EQ(Util_FolderFromWide(L"C:\\x", nullptr, 0), EUtilFolderResult::kNone);
}
#endif

TEST_F(PlatformTest, FirstMatchingFile)
{
  // Pattern characters in the folder's own name are taken literally.
#ifdef _WIN32
  const fs::path folder = mDir / "cal [1]";
#else
  const fs::path folder = mDir / "cal [1] *?";
#endif
  fs::create_directories(folder);
  Touch(folder / "b.cal");
  Touch(folder / "a.cal");
  Touch(folder / "c.txt");
  char name[256] = "old", path[1024] = "old";
  ASSERT_TRUE(Util_FindFirstFile(folder.string().c_str(), "*.cal", name, sizeof name, path, sizeof path));
#ifdef _WIN32
  EXPECT_TRUE(std::strcmp(name, "a.cal") == 0 || std::strcmp(name, "b.cal") == 0) << name;
#else
  EXPECT_STREQ(name, "a.cal") << "sorted by name";
#endif
  EXPECT_EQ(fs::path(path), folder / name);

  // A folder written with its separator at the end gives the same path.
  const std::string withSeparator = folder.string() + kUtilPathSeparator;
  ASSERT_TRUE(Util_FindFirstFile(withSeparator.c_str(), "*.txt", name, sizeof name, path, sizeof path));
  EXPECT_STREQ(name, "c.txt");
  EXPECT_EQ(fs::path(path), folder / "c.txt");

  EXPECT_FALSE(Util_FindFirstFile(folder.string().c_str(), "*.frd", name, sizeof name, path, sizeof path));
  EXPECT_STREQ(name, "");
  EXPECT_STREQ(path, "");
  EXPECT_FALSE(Util_FindFirstFile((mDir / "missing").string().c_str(), "*.cal", name, sizeof name, path, sizeof path));

  // A path that does not fit is no match: a cut path names another file.
  char shortPath[8] = "old";
  EXPECT_FALSE(Util_FindFirstFile(folder.string().c_str(), "*.cal", name, sizeof name, shortPath, sizeof shortPath));
  EXPECT_STREQ(name, "");
  EXPECT_STREQ(shortPath, "");
}

TEST_F(PlatformTest, AddressesGoThroughTheReplaceableOpener)
{
  sOpened.clear();
  const UtilOpenAddressFunc previous = Util_SetOpenAddressFunc(RecordAddress);
  EXPECT_EQ(previous, nullptr);
  EXPECT_EQ(Util_OpenAddress("https://example.com/help?a=1&b=2"), EUtilOpenResult::kNotFound);
  // Nothing that an opener could take for an option, and nothing empty, reaches it.
  EXPECT_EQ(Util_OpenAddress("--help"), EUtilOpenResult::kFailed);
  EXPECT_EQ(Util_OpenAddress(""), EUtilOpenResult::kFailed);
  EXPECT_EQ(Util_OpenAddress(nullptr), EUtilOpenResult::kFailed);
  EXPECT_EQ(Util_SetOpenAddressFunc(nullptr), RecordAddress);
  ASSERT_EQ(sOpened.size(), 1u);
  EXPECT_EQ(sOpened[0], "https://example.com/help?a=1&b=2");
}

#ifdef _WIN32
TEST_F(PlatformTest, ShellExecuteReportsAMissingFile)
{
  // A file that does not exist: the shell finds nothing to open (and starts nothing).
  const std::string missing = (mDir / "no-such-file.vxmissing").string();
  EXPECT_EQ(Util_SystemOpenAddress(missing.c_str(), nullptr), EUtilOpenResult::kNotFound);
}
#else
namespace {
std::string ReadFile(const fs::path& p)
{
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// A stand-in xdg-open on PATH that writes down what it received and how it was started.
class OpenerTest : public PlatformTest
{
protected:
  void SetUp() override
  {
    PlatformTest::SetUp();
    const char* old = std::getenv("PATH");
    mOldPath = old ? old : "";
    setenv("PATH", (Dir() + ":" + mOldPath).c_str(), 1);
  }
  void TearDown() override
  {
    setenv("PATH", mOldPath.c_str(), 1);
    PlatformTest::TearDown();
  }
  void WriteOpener(const std::string& body)
  {
    const fs::path script = mDir / "xdg-open";
    std::ofstream(script) << "#!/bin/sh\n" << body << "\n";
    fs::permissions(script, fs::perms::owner_all);
  }
  std::string Out() const { return (mDir / "out").string(); }
  std::string mOldPath;
};

// Children of this process that have ended and wait to be reaped.
int Zombies()
{
  int n = 0;
  for (const auto& entry : fs::directory_iterator("/proc"))
  {
    const std::string stat = ReadFile(entry.path() / "stat");
    const size_t close = stat.rfind(')');
    if (close == std::string::npos) continue;
    char state = 0;
    int ppid = 0;
    if (std::sscanf(stat.c_str() + close + 1, " %c %d", &state, &ppid) == 2 && ppid == (int)getpid() && state == 'Z')
      ++n;
  }
  return n;
}
}  // namespace

TEST_F(OpenerTest, TheAddressIsOneArgumentAndNoShellReadsIt)
{
  WriteOpener("printf '%s|%s' \"$#\" \"$1\" > \"" + Out() + "\"");
  const char* address = "https://example.com/a b?x=\"1\"&y='$(touch pwned)';`id`|cat";
  EXPECT_EQ(Util_SystemOpenAddress(address, nullptr), EUtilOpenResult::kOpened);
  EXPECT_EQ(ReadFile(Out()), std::string("1|") + address);
  EXPECT_FALSE(fs::exists(fs::current_path() / "pwned"));
  EXPECT_EQ(Zombies(), 0);
}

TEST_F(OpenerTest, TheOpenerGetsNoneOfTheCallersDescriptors)
{
  // A descriptor the host left inheritable (its audio device, its display connection).
  const int fd = open("/dev/null", O_RDONLY);
  ASSERT_GE(fd, 0);
  constexpr int kHostFd = 100;
  ASSERT_EQ(dup2(fd, kHostFd), kHostFd);
  close(fd);
  WriteOpener("ls /proc/$$/fd > \"" + Out() + "\"; readlink /proc/$$/fd/0 >> \"" + Out() + "\"");
  EXPECT_EQ(Util_SystemOpenAddress("https://example.com", nullptr), EUtilOpenResult::kOpened);
  close(kHostFd);
  std::istringstream lines(ReadFile(Out()));
  std::vector<std::string> seen;
  for (std::string line; std::getline(lines, line);) seen.push_back(line);
  ASSERT_GE(seen.size(), 4u);
  EXPECT_EQ(seen.back(), "/dev/null") << "standard input";
  seen.pop_back();
  for (const std::string& s : seen) EXPECT_NE(std::atoi(s.c_str()), kHostFd) << "the host's descriptor reached the opener";
}

TEST_F(OpenerTest, ExitStatusSaysWhatHappened)
{
  const struct { const char* body; EUtilOpenResult expect; } cases[] = {
    {"exit 0", EUtilOpenResult::kOpened},
    {"exit 2", EUtilOpenResult::kNotFound},
    {"exit 4", EUtilOpenResult::kFailed},
    {"kill -9 $$", EUtilOpenResult::kFailed},
  };
  for (const auto& c : cases)
  {
    WriteOpener(c.body);
    EXPECT_EQ(Util_SystemOpenAddress("https://example.com", nullptr), c.expect) << c.body;
  }
  fs::remove(mDir / "xdg-open");
  EXPECT_EQ(Util_SystemOpenAddress("https://example.com", nullptr), EUtilOpenResult::kFailed) << "no opener";
  EXPECT_EQ(Zombies(), 0);
}

// An opener that runs the browser in the foreground: the caller (a host's user-interface
// thread) does not wait for it to end, and a later call reaps it.
TEST_F(OpenerTest, AnOpenerThatKeepsRunningIsNotWaitedFor)
{
  WriteOpener("echo $$ > \"" + Out() + "\"; exec sleep 60");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Util_SystemOpenAddress("https://example.com", nullptr), EUtilOpenResult::kOpened);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
  const pid_t browser = (pid_t)std::atoi(ReadFile(Out()).c_str());
  ASSERT_GT(browser, 0);
  EXPECT_EQ(Zombies(), 0);
  kill(browser, SIGKILL);
  for (int i = 0; i < 500 && Zombies() == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(Zombies(), 1) << "the ended opener waits to be reaped";
  WriteOpener("exit 0");
  EXPECT_EQ(Util_SystemOpenAddress("https://example.com", nullptr), EUtilOpenResult::kOpened);
  EXPECT_EQ(Zombies(), 0);
}
#endif
