// Answers to the status query, straight from the socket's receive loop: they
// never take, touch or wait for a slot and leave no line in the message log.
// Every address gets at most 5 answers a second, all addresses together
// about 100.
#pragma once

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>

// A datagram whose first byte is the status query's code: answered when it
// is a whole query and the limits allow, otherwise dropped. `kept` bytes of
// it are at hand, `length` is its real length.
void NET_ANSWERSTATUS(const sockaddr_in& from, const uint8_t* bytes, size_t kept, size_t length);
void NET_RESETSTATUS();
