// The client's one UDP socket: non-blocking, IPv4, bound to any local
// address. Sends and receives are raw bytes; the session code above it
// owns the message buffer.
#pragma once

#include <cstdint>
#include <string>

enum class UdpOpenResult : uint8_t { Ok, SocketFailed, NonBlockingFailed };

UdpOpenResult UdpOpen();
bool UdpBind(uint16_t port);
void UdpClose();
// Bytes received (at most size): 0 for an empty datagram, -1 when nothing
// is waiting or the receive failed. The sender's dotted address and port
// are kept until the next receive.
int UdpReceive(uint8_t* data, int size);
const char* UdpSenderAddress();
uint16_t UdpSenderPort();
// Sends to a dotted IPv4 address; an address that is not one is not sent to.
void UdpSend(const std::string& address, uint16_t port, const uint8_t* data, int size);

// 64 bits from the system's random source: the nonces of connection
// attempts and the tokens of server-list queries, which others must not
// guess.
uint64_t SystemRandom64();
