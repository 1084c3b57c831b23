#pragma once
// A file that appears under its name only when it is complete, for every file the program
// writes (meshes, images).
//
// The content goes to a temporary file with a short unique name (".veltrane-" and 8 random
// characters) in the target's folder, so that the final rename stays within one file system
// and a long target name still leaves room for it. Commit syncs the file, renames it over the
// target in one step and syncs the folder. Until then nothing at the target's name changes:
// concurrent writers of one target each rename a complete file of their own, the last one
// wins, and no other file of the folder is touched.
//
// A symbolic link stays: the file it leads to is replaced, from a temporary file in that
// file's folder. An existing target that is not a regular file (a named pipe, a device such as
// /dev/stdout) is written straight into, as it cannot be replaced; a folder or a socket is
// refused with the system's reason.
//
// The temporary file is removed on every error path, when the writer is destroyed without a
// Commit, and when SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGPIPE or SIGALRM ends the
// process while it exists: every writer installs a handler for those of these signals that are
// at their default action (a signal the program handles or ignores itself is left alone), and
// sets SIGXFSZ at its default to ignored, so that a write past the file size limit fails with
// "File too large". The handler covers kMaxCoveredWriters writers at once; SIGKILL cannot be
// caught and leaves the file.
//
// Failures are std::runtime_error "cannot write PATH: REASON", REASON being the system's text
// for the errno of the failing call ("No space left on device").

#include <functional>
#include <memory>
#include <ostream>
#include <string>

// Writers whose temporary files the signal handler removes at once: an OBJ and its .mtl for
// each of 256 workers, and a few more.
constexpr int kMaxCoveredWriters = 2 * 256 + 16;

class TAtomicFile {
 public:
  // Creates the temporary file for `path` (mode 0666 less the umask).
  explicit TAtomicFile(std::string path);
  // Removes the temporary file unless Commit succeeded. Never throws.
  ~TAtomicFile();
  TAtomicFile(const TAtomicFile&) = delete;
  TAtomicFile& operator=(const TAtomicFile&) = delete;

  // The content, buffered. A failing write sets badbit; Commit reports its reason.
  std::ostream& Stream();

  // Puts the complete file in place. On failure the temporary file is gone and an existing
  // file at the target's name is unchanged.
  void Commit();

 private:
  struct TImpl;
  std::unique_ptr<TImpl> impl;
};

// The name that stands for the standard output (`-o -`): WriteFileAtomically writes it straight
// to StandardOutput(), as a pipe cannot be replaced; a failure there shows in the exit status only.
inline constexpr const char* kStandardOutputName = "-";

// Where kStandardOutputName writes: std::cout unless a caller (the command line's tests) points
// it at a stream of its own.
std::ostream*& StandardOutput();

// Writes `path` through `fill` with a TAtomicFile; an exception from `fill` leaves no file.
void WriteFileAtomically(const std::string& path, const std::function<void(std::ostream&)>& fill);
