// Windows virtual-key codes: what config.cfg stores for every binding and
// what the window layer reports for every key and mouse button. Letters and
// digits are their upper-case characters ('A', '0').
#pragma once

#include <cstdint>

constexpr uint8_t VK_LBUTTON = 1;
constexpr uint8_t VK_RBUTTON = 2;
constexpr uint8_t VK_MBUTTON = 4;
constexpr uint8_t VK_BACK = 8;
constexpr uint8_t VK_TAB = 9;
constexpr uint8_t VK_RETURN = 13;
constexpr uint8_t VK_SHIFT = 16;
constexpr uint8_t VK_CONTROL = 17;
constexpr uint8_t VK_MENU = 18;  // Alt
constexpr uint8_t VK_PAUSE = 19;
constexpr uint8_t VK_CAPITAL = 20;
constexpr uint8_t VK_ESCAPE = 27;
constexpr uint8_t VK_SPACE = 32;
constexpr uint8_t VK_PRIOR = 33;  // Page Up
constexpr uint8_t VK_NEXT = 34;   // Page Down
constexpr uint8_t VK_END = 35;
constexpr uint8_t VK_HOME = 36;
constexpr uint8_t VK_LEFT = 37;
constexpr uint8_t VK_UP = 38;
constexpr uint8_t VK_RIGHT = 39;
constexpr uint8_t VK_DOWN = 40;
constexpr uint8_t VK_SNAPSHOT = 44;  // Print Screen
constexpr uint8_t VK_INSERT = 45;
constexpr uint8_t VK_DELETE = 46;
constexpr uint8_t VK_LWIN = 91;
constexpr uint8_t VK_RWIN = 92;
constexpr uint8_t VK_APPS = 93;
constexpr uint8_t VK_NUMPAD0 = 96;  // ..VK_NUMPAD0 + 9
constexpr uint8_t VK_MULTIPLY = 106;
constexpr uint8_t VK_ADD = 107;
constexpr uint8_t VK_SUBTRACT = 109;
constexpr uint8_t VK_DECIMAL = 110;
constexpr uint8_t VK_DIVIDE = 111;
constexpr uint8_t VK_F1 = 112;  // ..VK_F1 + 11 for F12
constexpr uint8_t VK_F12 = 123;
constexpr uint8_t VK_NUMLOCK = 144;
constexpr uint8_t VK_SCROLL = 145;
constexpr uint8_t VK_LSHIFT = 160;
constexpr uint8_t VK_RSHIFT = 161;
constexpr uint8_t VK_LCONTROL = 162;
constexpr uint8_t VK_RCONTROL = 163;
constexpr uint8_t VK_LMENU = 164;
constexpr uint8_t VK_RMENU = 165;
constexpr uint8_t VK_OEM_1 = 186;       // ;
constexpr uint8_t VK_OEM_PLUS = 187;    // =
constexpr uint8_t VK_OEM_COMMA = 188;
constexpr uint8_t VK_OEM_MINUS = 189;
constexpr uint8_t VK_OEM_PERIOD = 190;
constexpr uint8_t VK_OEM_2 = 191;       // /
constexpr uint8_t VK_OEM_3 = 192;       // `
constexpr uint8_t VK_OEM_4 = 219;       // [
constexpr uint8_t VK_OEM_5 = 220;       // backslash
constexpr uint8_t VK_OEM_6 = 221;       // ]
constexpr uint8_t VK_OEM_7 = 222;       // '
