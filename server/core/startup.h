// Server start-up, the command line and the reset of every module; the
// tick it leads into is tick.h.
#pragma once

#include <cstdint>
#include <string>

#include "protocol/shortstr.h"
#include "server/core/tick.h"

// The start-up sequence; false when the command line was refused, or the
// socket or the control socket could not be brought up.
bool GAMESTART(int argc, char** argv);

// Reads the option pairs. An unknown option, an option without a value and
// a number the parsing rules or range checks changed each give one warning
// line on standard error; the server starts with what was taken.
void SV_STARTPARAMS(int argc, char** argv);
// True when an option the server must not start without could not be taken
// as given (-bind, or -port under -strictport 1): the program ends with 2.
bool SV_COMMANDLINEREFUSED();
// --help, -h or --version in an option position asks for text, not a server;
// --probe first asks another server how it is.
enum class CommandLineRequest { kRun, kHelp, kVersion, kProbe };
CommandLineRequest SV_COMMANDLINEREQUEST(int argc, char** argv);
void SV_CHECKVARS();

// Number conversion of the command line: decimal, '$'/'x'/'0x' hexadecimal,
// '%' binary, '&' octal; anything invalid counts as 0.
uint16_t S2W(std::string_view text);
uint8_t S2B(std::string_view text);
std::string B2S(uint8_t v);
std::string B2SYN(uint8_t v);

// Every module of the server back to the state of a freshly started process
// (settings, world, message log, map list, message buffer, bot generator).
// Tests call it before each case.
void SV_RESETALL();
