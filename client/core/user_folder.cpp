#include "client/core/user_folder.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "protocol/shipped_data.h"

namespace {

// The shipped folders the game (and a server started in the player's
// folder) reads.
constexpr const char* kShippedFolders[] = {"sprites", "sounds", "maps"};

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home && *home) return home;
  const passwd* pw = getpwuid(getuid());
  return pw && pw->pw_dir ? pw->pw_dir : "";
}

// Creates the folder and every missing one on the way.
bool MakeFolders(const std::string& path, std::string& error) {
  for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    const std::string part = path.substr(0, slash);
    if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) {
      error = "cannot create " + part + ": " + std::strerror(errno);
      return false;
    }
    if (slash == std::string::npos) return true;
  }
}

// A link in the player's folder to one shipped folder. Something the player
// put there himself stays; a link that leads nowhere (the game was moved or
// reinstalled elsewhere) is made again.
bool LinkShipped(const std::string& shipped, const std::string& folder, const char* name, std::string& error) {
  const std::string target = shipped + "/" + name;
  const std::string link = folder + "/" + name;
  struct stat st {};
  if (stat(target.c_str(), &st) != 0) return true;  // not shipped: nothing to link
  if (stat(link.c_str(), &st) == 0) return true;    // already there
  if (lstat(link.c_str(), &st) == 0) unlink(link.c_str());
  if (symlink(target.c_str(), link.c_str()) != 0) {
    error = "cannot link " + link + " to " + target + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace

std::string UserFolderPath() {
  const char* data_home = std::getenv("XDG_DATA_HOME");
  // Only an absolute path counts; a relative one is to be ignored.
  if (data_home && data_home[0] == '/') return std::string(data_home) + "/vornaxdm";
  return HomeFolder() + "/.local/share/vornaxdm";
}

bool EnterUserFolder(std::string& error) {
  std::string shipped = ShippedDataDir();
  if (shipped.empty()) return true;
  char resolved[PATH_MAX];
  if (realpath(shipped.c_str(), resolved)) shipped = resolved;
  const std::string folder = UserFolderPath();
  if (folder[0] != '/') {
    error = "no home folder to keep the game's files in (set HOME or XDG_DATA_HOME)";
    return false;
  }
  if (!MakeFolders(folder, error)) return false;
  for (const char* name : kShippedFolders)
    if (!LinkShipped(shipped, folder, name, error)) return false;
  if (chdir(folder.c_str()) != 0) {
    error = "cannot enter " + folder + ": " + std::strerror(errno);
    return false;
  }
  return true;
}
