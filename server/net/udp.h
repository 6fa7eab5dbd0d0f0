// The server's UDP socket and its one message buffer.
#pragma once

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>

#include "protocol/msgbuf.h"
#include "protocol/shortstr.h"

extern MessageBuffer NET_BUF;

bool NET_START();
void NET_STOP();
void NET_CLEARBUFFER();
// Reads what is waiting in the socket into the datagrams of this tick, in
// arrival order. Empty datagrams, codes no client sends and datagrams
// without their session's token are dropped at once; a tick keeps at most
// 64 datagrams from each client and 1,024 from senders without a slot, four
// from each address, so a flood can neither starve the tick nor crowd out
// the players or one new connect.
// Returns how many datagrams were read from the socket.
int NET_COLLECT();
// Waits the pause between two ticks, reading datagrams as they come, so the
// socket never overflows while the server sleeps. Returns early when a
// signal arrives.
void NET_PAUSE(int milliseconds);
// Clears the buffer and takes the next datagram of this tick into it,
// remembering its sender; 0 when none is left (the next tick's datagrams
// start to be collected then).
int16_t NET_RECEIVE();
ShortStr NET_LASTINIP();
uint16_t NET_LASTINPORT();
// Sends everything written since the last clear.
void NET_SEND(const ShortStr& address, uint16_t port);

inline uint8_t NET_READBYTE() { return NET_BUF.readByte(); }

// Sends bytes of a buffer of the caller's own to a socket address.
void NET_SENDBYTES(const sockaddr_in& to, const uint8_t* bytes, size_t length);

// Datagrams that share a common part: a short head of each receiver's own,
// the first common_length bytes of NET_BUF, and a short tail of each
// receiver's own. They go out together in one system call; NET_BUF must keep
// the common part until NET_BATCHSEND. The batch stays as it is until the
// next NET_BATCHBEGIN.
constexpr int NET_BATCH_LIMIT = 24;
constexpr int NET_HEAD_LIMIT = 11;
constexpr int NET_TAIL_LIMIT = 8;
void NET_BATCHBEGIN(uint16_t common_length);
void NET_BATCHADD(const ShortStr& address, uint16_t port, const uint8_t* head, uint8_t head_length,
                  const uint8_t* tail, uint8_t tail_length);
void NET_BATCHSEND();

// Closes the socket if one is open and clears the buffer and the batch.
void NET_RESET();
// The socket handle, for tests that need to know whether one is open.
int NET_SOCKETHANDLE();
