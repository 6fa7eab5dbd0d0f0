// Telling a service manager how the server is doing, through the notify
// socket it names in NOTIFY_SOCKET (a path, or an abstract name starting
// with '@'): READY=1 once the game socket is bound, STOPPING=1 when the
// server stops, and WATCHDOG=1 each second while WATCHDOG_USEC asks for
// keep-alives. Without NOTIFY_SOCKET every call does nothing.
#pragma once

// Reads the environment and sends READY=1.
void NOTIFY_READY();
// Once per tick: WATCHDOG=1 when a second has passed since the last one.
void NOTIFY_TICK();
void NOTIFY_STOPPING();
void NOTIFY_RESET();
