// The file writer's ways of giving up, beyond what the mesh files show: an exception of the
// caller, a writer dropped without Commit, a signal raised in the middle of a write; and the
// targets that are not plain files: links, pipes, devices.

#include "core/atomicFile.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

#include "fileHelpers.h"

TEST(AtomicFile, AnAbandonedWriteLeavesTheFolderAsItWas) {
  TTempFolder dir;
  const std::string target = dir / "picture.bmp";
  PutFile(target, "old");

  EXPECT_THROW(WriteFileAtomically(target,
                                   [](std::ostream& out) {
                                     out << std::string(100000, 'x');
                                     throw std::runtime_error("the caller gave up");
                                   }),
               std::runtime_error);
  {
    TAtomicFile dropped(target);
    dropped.Stream() << "never committed";
    EXPECT_EQ(Entries(dir.path).size(), 2u);
  }
  for (const int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGPIPE, SIGALRM}) {
    TChild child([&] {
      ::signal(sig, SIG_DFL);
      const rlimit noCore{0, 0};  // SIGQUIT's default action would dump one
      ::setrlimit(RLIMIT_CORE, &noCore);
      // Under SIGTERM, every writer the program can have at once, the signal's own last.
      rlimit files{};
      ::getrlimit(RLIMIT_NOFILE, &files);
      files.rlim_cur = files.rlim_max;
      ::setrlimit(RLIMIT_NOFILE, &files);
      std::vector<std::unique_ptr<TAtomicFile>> others;
      for (int i = 1; sig == SIGTERM && i < kMaxCoveredWriters; ++i)
        others.push_back(std::make_unique<TAtomicFile>(dir / ("other" + std::to_string(i))));
      TAtomicFile file(target);
      file.Stream() << std::string(100000, 'x') << std::flush;
      ::raise(sig);
      return std::string("survived the signal");
    });
    std::string report;
    const int status = child.Finish(report);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << sig << ": " << report;
  }
  EXPECT_EQ(ReadFile(target), "old");
  EXPECT_EQ(Entries(dir.path), std::set<std::string>{"picture.bmp"});

  // Past the file size limit the write fails with the usual message; the process goes on.
  TChild limited([&] {
    ::signal(SIGXFSZ, SIG_DFL);
    const rlimit limit{16384, 16384};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    WriteFileAtomically(target, [](std::ostream& out) { out << std::string(100000, 'x'); });
    return std::string("written past the limit");
  });
  std::string report;
  const int status = limited.Finish(report);
  EXPECT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(report, "exception: cannot write " + target + ": " + std::strerror(EFBIG));
  EXPECT_EQ(ReadFile(target), "old");
  EXPECT_EQ(Entries(dir.path), std::set<std::string>{"picture.bmp"});
}

TEST(AtomicFile, LinksPipesAndDevicesStayWhatTheyAre) {
  namespace fs = std::filesystem;
  TTempFolder dir;
  fs::create_directory(dir / "sub");
  PutFile(dir / "sub/real.obj", "old");
  fs::create_symlink("sub/real.obj", dir / "link.obj");
  fs::create_symlink("link.obj", dir / "chain.obj");
  fs::create_symlink(dir / "sub/new.obj", dir / "dangling.obj");
  for (const char* name : {"link.obj", "chain.obj", "dangling.obj"}) {
    WriteFileAtomically(dir / name, [&](std::ostream& out) { out << name; });
    EXPECT_TRUE(fs::is_symlink(dir / name)) << name;
    EXPECT_EQ(ReadFile(dir / name), name);
  }
  EXPECT_EQ(Entries(dir.path),
            (std::set<std::string>{"sub", "link.obj", "chain.obj", "dangling.obj"}));
  EXPECT_EQ(Entries(dir / "sub"), (std::set<std::string>{"real.obj", "new.obj"}));

  fs::create_symlink("loop.obj", dir / "loop.obj");
  try {
    WriteFileAtomically(dir / "loop.obj", [](std::ostream& out) { out << "x"; });
    ADD_FAILURE() << "a link to itself was written";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(std::string(e.what()), "cannot write " + (dir / "loop.obj") + ": " +
                                         std::strerror(ELOOP));
  }

  // A named pipe passes the content to its reader.
  const std::string pipe = dir / "pipe.obj";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  std::string received;
  std::thread reader([&] { received = ReadFile(pipe); });
  WriteFileAtomically(pipe, [](std::ostream& out) { out << std::string(200000, 'p'); });
  reader.join();
  EXPECT_EQ(received, std::string(200000, 'p'));
  struct stat st {};
  ASSERT_EQ(::stat(pipe.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));

  // A device that refuses the content says why and stays a device.
  try {
    WriteFileAtomically("/dev/full", [](std::ostream& out) { out << std::string(100000, 'd'); });
    ADD_FAILURE() << "/dev/full took the content";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(std::string(e.what()), std::string("cannot write /dev/full: ") + std::strerror(ENOSPC));
  }
  ASSERT_EQ(::stat("/dev/full", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
}
