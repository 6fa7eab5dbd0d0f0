// Where an installed program finds the data shipped with it.
#pragma once

#include <string>

// The shipped data folder (pictures, sounds, maps) when the program runs from
// an installation, where it lies at a fixed place beside the binaries
// (<prefix>/bin and <prefix>/share/vornaxdm); "" when the program runs from a
// build tree, which finds its data in the working directory.
std::string ShippedDataDir();
