// The installed game keeps what it writes (config.cfg, outlog.txt,
// screenshots) in a folder of the player's own, never beside the binaries.
#pragma once

#include <string>

// $XDG_DATA_HOME/vornaxdm, or ~/.local/share/vornaxdm without it.
std::string UserFolderPath();

// When the game runs from an installation: creates the player's folder on
// first start, links the shipped pictures, sounds and maps into it (again
// when a link no longer leads anywhere) and makes it the working directory.
// From a build tree nothing changes. False, with `error` set, when the
// folder cannot be made or entered.
bool EnterUserFolder(std::string& error);
