// System calls made to fail on purpose in a child process before it starts
// the program under test (for ChildProcess::before_exec or a fork of one's
// own): the one way to make a start-up step fail, for root too.
#pragma once

// Every socket() call fails with EACCES.
void ForbidSockets();
// Every open that asks for write access fails with EROFS, as on a read-only
// file system.
void ReadOnlyFileSystem();
