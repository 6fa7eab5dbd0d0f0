#include "client/core/user_folder.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "client/core/config.h"
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

std::string config_file_path = CONFIG_FILE;
std::string screenshot_folder;

// An XDG base folder: only an absolute path counts, a relative one is to be
// ignored and the default used.
std::string XdgFolder(const char* variable, const char* below_home) {
  const char* value = std::getenv(variable);
  if (value && value[0] == '/') return std::string(value) + "/vornaxdm";
  return HomeFolder() + below_home;
}

bool IsFolder(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// config.cfg of an older version (kept in the data folder) moves to the
// configuration folder once: never over a configuration already there.
bool MoveOldConfig(const std::string& from, const std::string& to, std::string& error) {
  struct stat st {};
  if (stat(from.c_str(), &st) != 0 || stat(to.c_str(), &st) == 0) return true;
  if (std::rename(from.c_str(), to.c_str()) == 0) return true;
  if (errno != EXDEV) {
    error = "cannot move " + from + " to " + to + ": " + std::strerror(errno);
    return false;
  }
  // Another file system: copy, then remove the old one once the copy is whole.
  std::ifstream in(from, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  std::ofstream out(to, std::ios::binary);
  out << text.str();
  out.close();
  if (!out) {
    std::remove(to.c_str());
    error = "cannot write " + to;
    return false;
  }
  std::remove(from.c_str());
  return true;
}

std::string PicturesFolder() {
  const char* pictures = std::getenv("XDG_PICTURES_DIR");
  if (pictures && pictures[0] == '/' && IsFolder(pictures)) return std::string(pictures) + "/";
  return "";
}

}  // namespace

std::string UserFolderPath() { return XdgFolder("XDG_DATA_HOME", "/.local/share/vornaxdm"); }

std::string UserConfigFolderPath() { return XdgFolder("XDG_CONFIG_HOME", "/.config/vornaxdm"); }

const std::string& ConfigFilePath() { return config_file_path; }

const std::string& ScreenshotFolder() { return screenshot_folder; }

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
  const std::string config_folder = UserConfigFolderPath();
  if (!MakeFolders(config_folder, error)) return false;
  if (!MoveOldConfig(folder + "/" + CONFIG_FILE, config_folder + "/" + CONFIG_FILE, error)) return false;
  config_file_path = config_folder + "/" + CONFIG_FILE;
  screenshot_folder = PicturesFolder();
  if (chdir(folder.c_str()) != 0) {
    error = "cannot enter " + folder + ": " + std::strerror(errno);
    return false;
  }
  return true;
}
