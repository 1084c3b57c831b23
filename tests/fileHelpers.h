#pragma once
// Folders, files and child processes for the tests of file output.

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <stdexcept>
#include <string>

// A fresh empty folder, removed with its content at the end.
struct TTempFolder {
  std::string path;
  TTempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "veltrane_XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot make a folder in /tmp");
    path = pattern;
  }
  ~TTempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  std::string operator/(const std::string& name) const { return path + "/" + name; }
};

inline std::set<std::string> Entries(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    names.insert(e.path().filename().string());
  return names;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void PutFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

// A forked copy of the test program running `body`, whose returned text comes back on a pipe.
struct TChild {
  pid_t pid = -1;
  int report = -1;

  explicit TChild(const std::function<std::string()>& body) {
    int fds[2];
    if (::pipe(fds) != 0) throw std::runtime_error("pipe failed");
    pid = ::fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
      ::close(fds[0]);
      std::string text;
      try {
        text = body();
      } catch (const std::exception& e) {
        text = std::string("exception: ") + e.what();
      }
      for (size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(fds[1], text.data() + done, text.size() - done);
        if (n <= 0) break;
        done += static_cast<size_t>(n);
      }
      ::_exit(0);  // no exit handlers of the test program in the copy
    }
    ::close(fds[1]);
    report = fds[0];
  }

  // Waits for the end; returns the wait status and fills `text`.
  int Finish(std::string& text) {
    char buf[4096];
    for (ssize_t n; (n = ::read(report, buf, sizeof buf)) > 0;) text.append(buf, size_t(n));
    ::close(report);
    int status = -1;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    return status;
  }
};
