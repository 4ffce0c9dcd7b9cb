// Every save of the console program against every kind of target: what stands at the path
// afterwards, what the user was told, and that nothing of ours is left beside it.
#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "COM-KESTRAVO.h"
#include "control/config/config.h"
#include "control/diagnostics/diagnostics.h"
#include "platform/files.h"
#include "tests/support/child.h"
#include "tests/support/console_fixture.h"
#include "tests/support/console_script.h"

namespace {

using testing_support::ReadFile;

enum class Command { kCurrent, kSingle, kAll, kBackup };
enum class Target {
  kRegular,
  kSymlink,
  kReadOnly,
  kPrivate,
  kFifo,
  kCharDevice,
  kDirectory,
  kReadOnlyDirectory,
  kFullFileSystem,
};

const char* CommandName(Command c) {
  switch (c) {
    case Command::kCurrent:
      return "ConfigurationSave";
    case Command::kSingle:
      return "SingleSave";
    case Command::kAll:
      return "SaveAll";
    default:
      return "Backup";
  }
}

const char* TargetName(Target t) {
  static const char* const kNames[] = {"Regular",       "Symlink",    "ReadOnly",  "PrivateMode",
                                       "Fifo",          "CharDevice", "Directory", "ReadOnlyDirectory",
                                       "FullFileSystem"};
  return kNames[int(t)];
}

// The start of what each command writes.
std::string Expected(Command c) {
  switch (c) {
    case Command::kCurrent:
      return "[CurrentConfiguration]\nOscillator=";
    case Command::kSingle:
    case Command::kAll:
      return "[Configuration1]\nName=Saved 1\nOscillator=";
    default:
      return "00\n00\n";
  }
}

void RunCommand(Command c, const char* path) {
  switch (c) {
    case Command::kCurrent:
      return control::SaveCurrentConfigToFile(path);
    case Command::kSingle:
      return control::SaveConfigToFile(0, path);
    case Command::kAll:
      return control::SaveAllConfigsToFile(path);
    default:
      return control::BackupMemory(path);
  }
}

// Entries of a directory whose names carry the new-file mark.
int Leftovers(const std::string& dir) {
  int n = 0;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d))
      if (std::string(e->d_name).find(platform::SafeFile::kMark) != std::string::npos) ++n;
    closedir(d);
  }
  return n;
}

const std::string kOld = "the old file\n";
constexpr uid_t kNobody = 65534;

void WriteText(const std::string& path, const std::string& text) {
  FILE* f = std::fopen(path.c_str(), "w");
  ASSERT_NE(f, nullptr) << path;
  std::fputs(text.c_str(), f);
  std::fclose(f);
}

void BecomeNobody() {
  if (geteuid() != 0) return;
  if (setresgid(kNobody, kNobody, kNobody) != 0 || setresuid(kNobody, kNobody, kNobody) != 0) _exit(3);
}

class SaveTargetTest : public testing_support::ConsoleTest,
                       public ::testing::WithParamInterface<std::tuple<Command, Target>> {
 protected:
  void SetUp() override {
    ConsoleTest::SetUp();
    for (uint32_t n = 0; n < 3; ++n) {
      uint8_t name[52] = {};
      std::snprintf(reinterpret_cast<char*>(name), sizeof name, "Saved %u", n + 1);
      ASSERT_EQ(COM_KESTRAVO_SaveCurrentConfig(0, n), 0);
      ASSERT_EQ(COM_KESTRAVO_SetConfigName(0, n, name), 0);
    }
    dir_ = testing_support::TempPath("saves");
    ASSERT_EQ(std::system(("rm -rf '" + dir_ + "' && mkdir -p '" + dir_ + "/real'").c_str()), 0);
    chmod(dir_.c_str(), 0777);
    path_ = dir_ + "/target.txt";
  }
  void TearDown() override {
    umount2((dir_ + "/full").c_str(), MNT_DETACH);
    chmod((dir_ + "/ro").c_str(), 0755);
    ASSERT_EQ(std::system(("rm -rf '" + dir_ + "'").c_str()), 0);
    ConsoleTest::TearDown();
  }

  // The command in a child process that first runs `prepare` (privileges, limits, a file system
  // of its own); what it printed. A prepare that cannot be done exits 3: the case is skipped.
  std::string RunInChild(Command c, const std::string& path, const std::function<void()>& prepare,
                         const std::function<void()>& after = nullptr) {
    testing_support::Child child = testing_support::StartChild([&] {
      signal(SIGXFSZ, SIG_IGN);
      if (prepare) prepare();
      std::string out;
      testing_support::CaptureOutput(&out);
      RunCommand(c, path.c_str());
      testing_support::CaptureOutput(nullptr);
      std::fputs(out.c_str(), stdout);
      if (after) after();
      std::fflush(stdout);
      _exit(0);
    });
    std::string out;
    testing_support::ReadToEnd(child, out);
    status_ = testing_support::Finish(child);
    return out;
  }

  std::string dir_, path_;
  int status_ = 0;
};

TEST_P(SaveTargetTest, KeepsWhatTheTargetIsAndLosesNothing) {
  const auto [command, target] = GetParam();
  const bool root = geteuid() == 0;
  const std::string expected = Expected(command);
  const std::string open_error = "Error opening the data file '" + path_ + "'\n";
  std::string out;
  struct stat st {};
  switch (target) {
    case Target::kRegular: {
      WriteText(path_, kOld);
      chmod(path_.c_str(), 0640);
      out = RunInChild(command, path_, nullptr);
      EXPECT_EQ(ReadFile(path_).rfind(expected, 0), 0u) << out;
      ASSERT_EQ(stat(path_.c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 07777, 0640u);
      break;
    }
    case Target::kSymlink: {
      const std::string real = dir_ + "/real/file.txt";
      WriteText(real, kOld);
      ASSERT_EQ(symlink("real/file.txt", path_.c_str()), 0);
      out = RunInChild(command, path_, nullptr);
      ASSERT_EQ(lstat(path_.c_str(), &st), 0);
      EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link was replaced by a file";
      EXPECT_EQ(ReadFile(real).rfind(expected, 0), 0u) << out;
      EXPECT_EQ(Leftovers(dir_ + "/real"), 0);
      break;
    }
    case Target::kReadOnly: {
      WriteText(path_, kOld);
      chmod(path_.c_str(), 0444);
      out = RunInChild(command, path_, BecomeNobody);
      EXPECT_NE(out.find(open_error), std::string::npos) << out;
      EXPECT_EQ(ReadFile(path_), kOld);
      ASSERT_EQ(stat(path_.c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 07777, 0444u);
      break;
    }
    case Target::kPrivate: {
      WriteText(path_, kOld);
      chmod(path_.c_str(), 0600);
      const uid_t owner = root ? 1234 : geteuid();
      const gid_t group = root ? 1234 : getegid();
      ASSERT_EQ(chown(path_.c_str(), owner, group), 0);
      out = RunInChild(command, path_, nullptr);
      EXPECT_EQ(ReadFile(path_).rfind(expected, 0), 0u) << out;
      ASSERT_EQ(stat(path_.c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 07777, 0600u);
      EXPECT_EQ(st.st_uid, owner);
      EXPECT_EQ(st.st_gid, group);
      break;
    }
    case Target::kFifo: {
      ASSERT_EQ(mkfifo(path_.c_str(), 0600), 0);
      // The reading end is open before the save (without a thread: a fork beside a running thread
      // can hang under the sanitizers); what is saved fits the FIFO's 64 KiB.
      const int reader = open(path_.c_str(), O_RDONLY | O_NONBLOCK);
      ASSERT_GE(reader, 0);
      out = RunInChild(command, path_, nullptr);
      std::string received;
      char buf[4096];
      ssize_t n;
      while ((n = read(reader, buf, sizeof buf)) > 0) received.append(buf, size_t(n));
      close(reader);
      EXPECT_EQ(received.rfind(expected, 0), 0u) << out;
      ASSERT_EQ(lstat(path_.c_str(), &st), 0);
      EXPECT_TRUE(S_ISFIFO(st.st_mode));
      break;
    }
    case Target::kCharDevice: {
      std::string node = "/dev/null";  // not root: the device's own, whose directory we cannot change
      if (root) {
        node = path_;
        ASSERT_EQ(mknod(node.c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
      }
      out = RunInChild(command, node, nullptr);
      ASSERT_EQ(lstat(node.c_str(), &st), 0);
      EXPECT_TRUE(S_ISCHR(st.st_mode)) << out;
      EXPECT_EQ(out.find("Error"), std::string::npos) << out;
      break;
    }
    case Target::kDirectory: {
      ASSERT_EQ(mkdir(path_.c_str(), 0755), 0);
      out = RunInChild(command, path_, nullptr);
      EXPECT_NE(out.find(open_error), std::string::npos) << out;
      if (command == Command::kBackup) {  // before any device traffic
        EXPECT_EQ(out, "Saving memory data (size=4000h):\n" + open_error);
      }
      ASSERT_EQ(stat(path_.c_str(), &st), 0);
      EXPECT_TRUE(S_ISDIR(st.st_mode));
      break;
    }
    case Target::kReadOnlyDirectory: {
      const std::string ro = dir_ + "/ro", file = ro + "/file.txt";
      ASSERT_EQ(mkdir(ro.c_str(), 0755), 0);
      WriteText(file, kOld);
      chmod(file.c_str(), 0644);
      if (root) {
        ASSERT_EQ(chown(ro.c_str(), kNobody, kNobody), 0);
        ASSERT_EQ(chown(file.c_str(), kNobody, kNobody), 0);
      }
      chmod(ro.c_str(), 0555);
      out = RunInChild(command, file, BecomeNobody);
      EXPECT_EQ(ReadFile(file).rfind(expected, 0), 0u) << out;
      EXPECT_EQ(Leftovers(ro), 0);
      break;
    }
    case Target::kFullFileSystem: {
      const std::string full = dir_ + "/full", file = full + "/file.txt";
      ASSERT_EQ(mkdir(full.c_str(), 0755), 0);
      out = RunInChild(
          command, file,
          [&] {
            // A file system of 64 KiB of its own, filled up but for the old file.
            if (unshare(CLONE_NEWNS) != 0 || mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                mount("tmpfs", full.c_str(), "tmpfs", 0, "size=64k") != 0)
              _exit(3);
            WriteText(file, kOld);
            FILE* filler = std::fopen((full + "/filler").c_str(), "w");
            while (filler && std::fputs(kOld.c_str(), filler) >= 0 && std::fflush(filler) == 0) {
            }
            if (filler) std::fclose(filler);
          },
          [&] { std::printf("[%s]", ReadFile(file).c_str()); });
      if (status_ == 3) GTEST_SKIP() << "no mount namespace here";
      EXPECT_NE(out.find("[" + kOld + "]"), std::string::npos) << "the old file is kept: " << out;
      EXPECT_EQ(out.find("saved"), std::string::npos) << out;
      EXPECT_NE(out.find("Error"), std::string::npos) << out;
      break;
    }
  }
  if (status_ == 3) GTEST_SKIP() << "cannot change to another user here";
  EXPECT_EQ(status_, 0) << out;
  EXPECT_EQ(Leftovers(dir_), 0);
}

INSTANTIATE_TEST_SUITE_P(Saves, SaveTargetTest,
                         ::testing::Combine(::testing::Values(Command::kCurrent, Command::kSingle,
                                                              Command::kAll, Command::kBackup),
                                            ::testing::Values(Target::kRegular, Target::kSymlink,
                                                              Target::kReadOnly, Target::kPrivate,
                                                              Target::kFifo, Target::kCharDevice,
                                                              Target::kDirectory, Target::kReadOnlyDirectory,
                                                              Target::kFullFileSystem)),
                         [](const ::testing::TestParamInfo<std::tuple<Command, Target>>& info) {
                           return std::string(CommandName(std::get<0>(info.param))) + "_" +
                                  TargetName(std::get<1>(info.param));
                         });

}  // namespace

namespace {

// The safe save itself, against hostile file systems: links another user left in a shared
// directory, a name taken over while a save is prepared, names at the system's limit.
class HostileSaveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/kestravo-hostile-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }
  static void Write(const std::string& path, const std::string& text) {
    FILE* f = std::fopen(path.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs(text.c_str(), f);
    std::fclose(f);
  }
  static bool Save(const std::string& path, const std::string& text) {
    platform::SafeFile f;
    if (!f.Open(path)) return false;
    std::fputs(text.c_str(), f.file());
    return f.Commit();
  }
  std::string dir_;
};

TEST_F(HostileSaveTest, ALinkAnotherUserLeftInASharedDirectoryIsNotFollowed) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root, to make a link owned by another user";
  // The rule applies whatever the kernel's own fs.protected_symlinks says: the save follows links
  // itself, so the kernel's rule would never see them.
  const std::string shared = dir_ + "/shared", secret = dir_ + "/secret";
  ASSERT_EQ(mkdir(shared.c_str(), 0777), 0);
  ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
  Write(secret, "root only\n");
  ASSERT_EQ(chmod(secret.c_str(), 0600), 0);
  ASSERT_EQ(symlink(secret.c_str(), (shared + "/out.txt").c_str()), 0);
  ASSERT_EQ(lchown((shared + "/out.txt").c_str(), 65534, 65534), 0);  // nobody's link
  errno = 0;
  EXPECT_FALSE(Save(shared + "/out.txt", "configuration\n"));
  EXPECT_EQ(errno, EACCES);
  EXPECT_EQ(ReadFile(secret), "root only\n");
  // The caller's own link there, and the directory owner's, are followed as before.
  ASSERT_EQ(lchown((shared + "/out.txt").c_str(), 0, 0), 0);
  EXPECT_TRUE(Save(shared + "/out.txt", "configuration\n"));
  EXPECT_EQ(ReadFile(secret), "configuration\n");
  // A link in a sticky directory that only its owner may write is no one else's to plant.
  ASSERT_EQ(chmod(shared.c_str(), 01755), 0);
  ASSERT_EQ(lchown((shared + "/out.txt").c_str(), 65534, 65534), 0);
  EXPECT_TRUE(Save(shared + "/out.txt", "again\n"));
}

TEST_F(HostileSaveTest, ANameTakenOverWhileTheTextIsPreparedIsNotFollowed) {
  // A second hard link makes the save write over the old file in place; before it commits, the
  // name is replaced by a link to another file. The text goes into the file that was opened.
  const std::string target = dir_ + "/backup.txt", other = dir_ + "/other.txt";
  Write(target, "old\n");
  Write(other, "other\n");
  ASSERT_EQ(link(target.c_str(), (dir_ + "/second-name.txt").c_str()), 0);
  platform::SafeFile f;
  ASSERT_TRUE(f.Open(target));
  std::fputs("new\n", f.file());
  ASSERT_EQ(symlink(other.c_str(), (dir_ + "/swap").c_str()), 0);
  ASSERT_EQ(rename((dir_ + "/swap").c_str(), target.c_str()), 0);
  EXPECT_TRUE(f.Commit());
  EXPECT_EQ(ReadFile(other), "other\n");
  EXPECT_EQ(ReadFile(dir_ + "/second-name.txt"), "new\n");
}

TEST_F(HostileSaveTest, NamesUpToTheSystemsLimitAreSaved) {
  for (size_t length : {200u, 229u, 230u, 231u, 254u, 255u}) {
    const std::string name = dir_ + "/" + std::string(length - 4, 'n') + ".txt";
    EXPECT_TRUE(Save(name, "saved\n")) << length << ": " << std::strerror(errno);
    EXPECT_EQ(ReadFile(name), "saved\n") << length;
    EXPECT_TRUE(Save(name, "replaced\n")) << length;  // over an old file: the new one beside it first
    EXPECT_EQ(ReadFile(name), "replaced\n") << length;
  }
  DIR* d = opendir(dir_.c_str());
  ASSERT_NE(d, nullptr);
  while (dirent* e = readdir(d))
    EXPECT_EQ(std::string(e->d_name).find(platform::SafeFile::kMark), std::string::npos);
  closedir(d);
}

}  // namespace
