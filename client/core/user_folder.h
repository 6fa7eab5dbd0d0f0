// The installed game keeps what it writes in folders of the player's own,
// never beside the binaries: config.cfg in $XDG_CONFIG_HOME/vornaxdm,
// outlog.txt in $XDG_DATA_HOME/vornaxdm (its working directory), screenshots
// in $XDG_PICTURES_DIR or, without one, the data folder. Run from a build
// tree, everything stays in the working directory.
#pragma once

#include <string>

// $XDG_DATA_HOME/vornaxdm, or ~/.local/share/vornaxdm without it.
std::string UserFolderPath();
// $XDG_CONFIG_HOME/vornaxdm, or ~/.config/vornaxdm without it.
std::string UserConfigFolderPath();

// Where config.cfg is read and written: "config.cfg" (the working
// directory) unless EnterUserFolder found an installation.
const std::string& ConfigFilePath();
// The folder screenshots go to, ending in '/'; "" for the working directory.
const std::string& ScreenshotFolder();

// When the game runs from an installation: creates the player's folder on
// first start, links the shipped pictures, sounds and maps into it (again
// when a link no longer leads anywhere) and makes it the working directory;
// creates the configuration folder and moves a config.cfg that an older
// version left in the player's folder there, once.
// From a build tree nothing changes. False, with `error` set, when the
// folder cannot be made or entered.
bool EnterUserFolder(std::string& error);
