// Linked into the drawing and window tests of the sanitizer build only. Mesa unloads its GL
// driver when the last display closes; the memory that the driver's globals still held then
// looks leaked to LeakSanitizer, with no module left to name in the report (so not even a
// suppression can match it). One more reference taken at start-up keeps the driver mapped to
// the end, so its globals are scanned and its own leaks carry its name (tests/lsan.supp).

#include <dlfcn.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Mesa looks in LIBGL_DRIVERS_PATH, else in the "dri" folder beside the system libraries.
std::vector<std::string> DriverFolders() {
  std::vector<std::string> folders;
  if (const char* path = std::getenv("LIBGL_DRIVERS_PATH")) {
    std::string list = path;
    for (size_t start = 0; start <= list.size();) {
      const size_t colon = std::min(list.find(':', start), list.size());
      if (colon > start) folders.push_back(list.substr(start, colon - start));
      start = colon + 1;
    }
  }
  Dl_info libc{};
  if (dladdr(reinterpret_cast<void*>(&std::free), &libc) && libc.dli_fname) {
    const std::string file = libc.dli_fname;
    const std::string dir = file.substr(0, file.rfind('/'));
    folders.push_back(dir + "/dri");
    if (!dir.starts_with("/usr/")) folders.push_back("/usr" + dir + "/dri");
  }
  return folders;
}

[[maybe_unused]] const bool kDriverHeld = [] {
  for (const std::string& folder : DriverFolders())
    if (dlopen((folder + "/swrast_dri.so").c_str(), RTLD_LAZY | RTLD_LOCAL)) return true;
  return false;
}();

}  // namespace
