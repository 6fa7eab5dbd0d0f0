// The server's secrets: the key of the connect cookies, drawn at start-up,
// and the random session tokens and tick offsets of new slots.
#pragma once

#include <cstddef>
#include <cstdint>

// SipHash-2-4 of `data` under a 128-bit key (16 bytes, as the reference
// implementation takes it).
uint64_t SipHash24(const uint8_t (&key)[16], const uint8_t* data, size_t length);

// A new key for the cookies, from the system's random source.
void COOKIE_RESET();
// The cookie for a sender (IPv4 address and port in network order, as they
// come in the socket address) and the nonce of its connect, in the 2-second
// window `epoch`.
uint64_t COOKIE_MAKE(uint32_t address, uint16_t port, uint64_t nonce, uint32_t epoch);
// The window of now: cookies of this one and of the one before are valid.
uint32_t COOKIE_EPOCH();
bool COOKIE_VALID(uint32_t address, uint16_t port, uint64_t nonce, uint64_t cookie);

// Random numbers from the system's source; the token is never 0.
uint64_t NET_RANDOMTOKEN();
uint16_t NET_RANDOMWORD();
