#include "client/core/screenshot.h"

#include <sys/stat.h>

#include <string>
#include <vector>

#include "client/core/event_log.h"
#include "client/core/platform.h"
#include "client/core/user_folder.h"

namespace {

// Far more than anybody takes; the search for a free name ends there.
constexpr unsigned kScreenshotNumbers = 1000000;

bool FileExists(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0;
}

}  // namespace

void TakeScreenshot() {
  std::vector<uint32_t> pixels;
  int w = 0, h = 0;
  if (!PlatformCaptureClientArea(pixels, w, h)) {
    LogLine("Screenshot failed: the window could not be read");
    return;
  }
  for (unsigned n = 0; n < kScreenshotNumbers; ++n) {
    const std::string path = ScreenshotFolder() + "VnxDMScrShot" + std::to_string(n) + ".bmp";
    if (!FileExists(path)) {
      if (!PlatformSaveBmp(path, pixels, w, h)) LogLine("Screenshot failed: " + path + " could not be written");
      return;
    }
  }
  LogLine("Screenshot failed: no free file name");
}
