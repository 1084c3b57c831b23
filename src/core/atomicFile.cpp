#include "atomicFile.h"

#include <iostream>

#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace {

// Every signal whose default action ends the process and that a user or the system sends while
// a file is written: a terminal's keys, kill, a closed terminal or pipe, a timer.
constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGPIPE, SIGALRM};

// The temporary files that exist, for the signal handler. It may only read plain memory and
// lock-free atomics, so the paths live in fixed slots: claimed (being filled) or armed (the
// handler removes that path). When every slot is taken a writer works without the handler.
enum : int { kFree = 0, kClaimed = 1, kArmed = 2 };
struct TSlot {
  std::atomic<int> state{kFree};
  char path[PATH_MAX];
};
static_assert(std::atomic<int>::is_always_lock_free);
TSlot slots[kMaxCoveredWriters];

void RemoveTempFilesAndDie(int sig) {
  for (TSlot& s : slots)
    if (s.state.load(std::memory_order_acquire) == kArmed) ::unlink(s.path);
  // Blocked while this handler runs, so the default action follows its return.
  ::signal(sig, SIG_DFL);
  ::raise(sig);
}

// Checked for every writer rather than once, so that a signal the program sets back to its
// default later (a child process after fork, for one) is covered again.
void InstallSignalHandlers() {
  // A write beyond the file size limit then fails with EFBIG, reported as any failed write,
  // instead of ending the process without a word and leaving the temporary file.
  struct sigaction fileSize {};
  if (::sigaction(SIGXFSZ, nullptr, &fileSize) == 0 && !(fileSize.sa_flags & SA_SIGINFO) &&
      fileSize.sa_handler == SIG_DFL)
    ::signal(SIGXFSZ, SIG_IGN);
  struct sigaction action {};
  action.sa_handler = RemoveTempFilesAndDie;
  sigemptyset(&action.sa_mask);
  for (int sig : kCleanupSignals) sigaddset(&action.sa_mask, sig);
  for (int sig : kCleanupSignals) {
    struct sigaction old {};
    if (::sigaction(sig, nullptr, &old) != 0) continue;
    if ((old.sa_flags & SA_SIGINFO) || old.sa_handler != SIG_DFL) continue;
    ::sigaction(sig, &action, nullptr);
  }
}

// Holds the cleanup signals back on this thread, so that creating or renaming a file and
// arming or disarming its slot happen together.
class TSignalsHeld {
 public:
  TSignalsHeld() {
    sigset_t set;
    sigemptyset(&set);
    for (int sig : kCleanupSignals) sigaddset(&set, sig);
    pthread_sigmask(SIG_BLOCK, &set, &saved);
  }
  ~TSignalsHeld() { pthread_sigmask(SIG_SETMASK, &saved, nullptr); }
  TSignalsHeld(const TSignalsHeld&) = delete;
  TSignalsHeld& operator=(const TSignalsHeld&) = delete;

 private:
  sigset_t saved;
};

int Arm(const std::string& path) {
  if (path.size() >= PATH_MAX) return -1;
  for (int i = 0; i < kMaxCoveredWriters; ++i) {
    int expected = kFree;
    if (!slots[i].state.compare_exchange_strong(expected, kClaimed)) continue;
    std::memcpy(slots[i].path, path.c_str(), path.size() + 1);
    slots[i].state.store(kArmed, std::memory_order_release);
    return i;
  }
  return -1;
}

void Disarm(int slot) {
  if (slot >= 0) slots[slot].state.store(kFree, std::memory_order_release);
}

// 8 characters of [0-9A-Za-z], fresh for every call and every process.
std::string RandomName() {
  static constexpr char kChars[] =
      "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  unsigned char bytes[8];
  if (::getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
    static std::atomic<uint64_t> counter{0};
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    uint64_t x = (uint64_t(::getpid()) << 40) ^ uint64_t(now.tv_nsec) ^
                 (uint64_t(now.tv_sec) << 20) ^ (counter++ * 0x9E3779B97F4A7C15ull);
    for (unsigned char& b : bytes) {
      b = static_cast<unsigned char>(x);
      x = (x >> 8) | (x << 56);
      x *= 0xBF58476D1CE4E5B9ull;
    }
  }
  std::string name = ".veltrane-";
  for (unsigned char b : bytes) name += kChars[b % 62];
  return name;
}

// The folder part of `path`, with its trailing slash; "" for a name in the current folder.
std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The file a rename must replace for `path`: `path` itself, or the end of the chain of symbolic
// links it starts (which need not exist yet), so that the links stay and their target changes.
std::string FollowLinks(std::string path, int& error) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    std::string target(PATH_MAX, '\0');
    const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
    if (n <= 0 || n >= static_cast<ssize_t>(target.size())) {
      error = n < 0 ? errno : n == 0 ? ENOENT : ENAMETOOLONG;
      return path;
    }
    target.resize(static_cast<size_t>(n));
    path = target.front() == '/' ? target : FolderOf(path) + target;
  }
  error = ELOOP;
  return path;
}

// The whole of [data, data + size) or false with `error` set.
bool WriteAll(int fd, const char* data, size_t size, int& error) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = n < 0 ? errno : EIO;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// A stream buffer on a file descriptor that keeps the errno of the first failed write.
class TFdBuffer : public std::streambuf {
 public:
  int fd = -1;
  int error = 0;

  TFdBuffer() : buffer(1 << 16) { setp(buffer.data(), buffer.data() + buffer.size()); }

 protected:
  int_type overflow(int_type ch) override {
    if (!Drain()) return traits_type::eof();
    if (!traits_type::eq_int_type(ch, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(ch);
      pbump(1);
    }
    return traits_type::not_eof(ch);
  }
  int sync() override { return Drain() ? 0 : -1; }

 private:
  std::vector<char> buffer;

  bool Drain() {
    const auto size = static_cast<size_t>(pptr() - pbase());
    const bool ok = error == 0 && WriteAll(fd, pbase(), size, error);
    setp(buffer.data(), buffer.data() + buffer.size());
    return ok;
  }
};

}  // namespace

struct TAtomicFile::TImpl {
  std::string path, folder, temp;
  std::string target;  // what the rename replaces: `path` or the file its links lead to
  int slot = -1;
  bool committed = false;
  bool direct = false;  // written straight into an existing pipe or device
  TFdBuffer buffer;
  std::ostream stream{&buffer};

  // Closes and removes the temporary file, if any. Safe to call twice.
  void Discard() noexcept {
    if (buffer.fd >= 0) ::close(buffer.fd);
    buffer.fd = -1;
    if (committed || temp.empty()) return;
    TSignalsHeld held;
    ::unlink(temp.c_str());
    Disarm(slot);
    slot = -1;
    temp.clear();
  }

  [[noreturn]] void Fail(int error) {
    Discard();
    throw std::runtime_error("cannot write " + path + ": " +
                             std::generic_category().message(error));
  }
};

TAtomicFile::TAtomicFile(std::string path) : impl(std::make_unique<TImpl>()) {
  impl->path = std::move(path);
  // A named pipe or a device (/dev/stdout, /dev/null) is not replaced by a file: it takes the
  // content as it comes. A folder or a socket refuses to be opened, which says why.
  struct stat st {};
  if (::stat(impl->path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    const int fd = ::open(impl->path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) impl->Fail(errno);
    impl->buffer.fd = fd;
    impl->direct = true;
    return;
  }
  int error = 0;
  impl->target = FollowLinks(impl->path, error);
  if (error != 0) impl->Fail(error);
  impl->folder = FolderOf(impl->target);
  InstallSignalHandlers();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string temp = impl->folder + RandomName();
    TSignalsHeld held;
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      impl->buffer.fd = fd;
      impl->temp = temp;
      impl->slot = Arm(temp);
      return;
    }
    if (errno != EEXIST) impl->Fail(errno);
  }
  impl->Fail(EEXIST);
}

TAtomicFile::~TAtomicFile() { impl->Discard(); }

std::ostream& TAtomicFile::Stream() { return impl->stream; }

void TAtomicFile::Commit() {
  if (impl->committed) return;
  if (impl->buffer.fd < 0) impl->Fail(EBADF);
  impl->stream.flush();
  if (impl->buffer.error != 0) impl->Fail(impl->buffer.error);
  if (!impl->stream) impl->Fail(EIO);
  if (!impl->direct && ::fsync(impl->buffer.fd) != 0) impl->Fail(errno);
  const int fd = impl->buffer.fd;
  impl->buffer.fd = -1;
  if (::close(fd) != 0) impl->Fail(errno);
  if (impl->direct) {
    impl->committed = true;
    return;
  }
  {
    TSignalsHeld held;
    if (::rename(impl->temp.c_str(), impl->target.c_str()) != 0) impl->Fail(errno);
    Disarm(impl->slot);
    impl->slot = -1;
    impl->committed = true;
  }
  // The rename itself is durable only once the folder is synced; a file system that cannot
  // sync a folder still has the complete file in place, so failures here are not reported.
  const std::string folder = impl->folder.empty() ? "." : impl->folder;
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
}

std::ostream*& StandardOutput() {
  static std::ostream* stream = &std::cout;
  return stream;
}

void WriteFileAtomically(const std::string& path,
                         const std::function<void(std::ostream&)>& fill) {
  if (path == kStandardOutputName) {
    std::ostream& out = *StandardOutput();
    fill(out);
    out.flush();
    if (!out) throw std::runtime_error("cannot write to the standard output");
    return;
  }
  TAtomicFile file(path);
  fill(file.Stream());
  file.Commit();
}
