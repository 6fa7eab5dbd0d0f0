// An X display of the test's own (Xvfb) and the commands that look at it.
#pragma once

#include <string>

#include "support/process.h"

bool OnPath(const std::string& program);
// Runs a shell command and returns its standard output.
std::string RunCommand(const std::string& command);
// Starts Xvfb with a screen of this size on the first display number that
// is free and takes it: one that another program holds or grabs at the same
// moment makes this Xvfb end, and the next number is tried. The numbers are
// 90..139, or VORNAX_TEST_DISPLAYS="first-last" on a machine where others
// use those. The display name, "" when none started.
std::string StartXvfb(ChildProcess& xvfb, const std::string& dir, int screen_w = 1024, int screen_h = 768);
// The id of the game's window on the display, waiting up to timeout_ms for
// it to open; "" when it did not.
std::string WaitForGameWindow(const std::string& display, int timeout_ms);
// The line of a label in the game's --dump-labels file, "" when it has none.
std::string LabelLine(const std::string& dump, const std::string& name);
