// The server's UDP socket and its one message buffer.
#pragma once

#include <cstdint>

#include "protocol/msgbuf.h"
#include "protocol/shortstr.h"

extern MessageBuffer NET_BUF;

bool NET_START();
void NET_STOP();
void NET_CLEARBUFFER();
// Clears the buffer and takes at most one waiting datagram; 0 or less means
// nothing usable was read.
int16_t NET_RECEIVE();
ShortStr NET_LASTINIP();
uint16_t NET_LASTINPORT();
// Sends everything written since the last clear.
void NET_SEND(const ShortStr& address, uint16_t port);

inline uint8_t NET_READBYTE() { return NET_BUF.readByte(); }
inline char NET_READCHAR() { return NET_BUF.readChar(); }
inline uint16_t NET_READWORD() { return NET_BUF.readWord(); }
inline void NET_READSTRING(ShortStr& s) { NET_BUF.readString(s); }
inline void NET_WRITEBYTE(uint8_t v) { NET_BUF.writeByte(v); }
inline void NET_WRITECHAR(char c) { NET_BUF.writeChar(c); }
inline void NET_WRITEWORD(uint16_t v) { NET_BUF.writeWord(v); }
inline void NET_WRITESTRING(const ShortStr& s) { NET_BUF.writeString(s); }
