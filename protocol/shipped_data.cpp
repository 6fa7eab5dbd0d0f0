#include "protocol/shipped_data.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>

#ifndef VORNAX_DATA_FROM_BIN
#define VORNAX_DATA_FROM_BIN "../share/vornaxdm"
#endif

namespace {

// The folder of the running binary, found through /proc so the installation
// may move as a whole (a package staged under DESTDIR runs too).
std::string ProgramDir() {
  char path[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return "";
  const std::string exe(path, static_cast<size_t>(n));
  const size_t slash = exe.rfind('/');
  return slash == std::string::npos ? "" : exe.substr(0, slash);
}

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::string ShippedDataDir() {
  const std::string dir = ProgramDir();
  if (dir.empty()) return "";
  const std::string data = dir + "/" + VORNAX_DATA_FROM_BIN;
  return IsDirectory(data) ? data : "";
}
