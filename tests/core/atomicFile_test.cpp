// The file writer's ways of giving up, beyond what the mesh files show: an exception of the
// caller, a writer dropped without Commit, a signal raised in the middle of a write.

#include "core/atomicFile.h"

#include <gtest/gtest.h>
#include <signal.h>

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
  for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
    TChild child([&] {
      ::signal(sig, SIG_DFL);
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
}
