#include "server/net/cookie.h"

#include <sys/random.h>

#include <cerrno>
#include <cstring>

#include "server/net/guard.h"

namespace {

// Two seconds of ticks, idle ticks included.
constexpr uint32_t EPOCH_TICKS = 2 * GUARD_SECOND;

uint8_t cookie_key[16];

uint64_t Rotl(uint64_t v, int b) { return (v << b) | (v >> (64 - b)); }

void SipRound(uint64_t (&v)[4]) {
  v[0] += v[1];
  v[1] = Rotl(v[1], 13) ^ v[0];
  v[0] = Rotl(v[0], 32);
  v[2] += v[3];
  v[3] = Rotl(v[3], 16) ^ v[2];
  v[0] += v[3];
  v[3] = Rotl(v[3], 21) ^ v[0];
  v[2] += v[1];
  v[1] = Rotl(v[1], 17) ^ v[2];
  v[2] = Rotl(v[2], 32);
}

uint64_t LittleEndian64(const uint8_t* p, size_t n) {
  uint64_t v = 0;
  for (size_t i = 0; i < n; ++i) v |= static_cast<uint64_t>(p[i]) << (8 * i);
  return v;
}

// The system's random source; it only fails before the pool is ready at
// boot, so it is simply asked again.
void FillRandom(void* out, size_t length) {
  auto* p = static_cast<uint8_t*>(out);
  while (length > 0) {
    const ssize_t n = getrandom(p, length, 0);
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      return;
    }
    p += n;
    length -= static_cast<size_t>(n);
  }
}

}  // namespace

uint64_t SipHash24(const uint8_t (&key)[16], const uint8_t* data, size_t length) {
  const uint64_t k0 = LittleEndian64(key, 8), k1 = LittleEndian64(key + 8, 8);
  uint64_t v[4] = {k0 ^ 0x736f6d6570736575ULL, k1 ^ 0x646f72616e646f6dULL, k0 ^ 0x6c7967656e657261ULL,
                   k1 ^ 0x7465646279746573ULL};
  const size_t whole = length - length % 8;
  for (size_t i = 0; i < whole; i += 8) {
    const uint64_t m = LittleEndian64(data + i, 8);
    v[3] ^= m;
    SipRound(v);
    SipRound(v);
    v[0] ^= m;
  }
  const uint64_t last = (static_cast<uint64_t>(length & 0xFF) << 56) | LittleEndian64(data + whole, length % 8);
  v[3] ^= last;
  SipRound(v);
  SipRound(v);
  v[0] ^= last;
  v[2] ^= 0xFF;
  for (int i = 0; i < 4; ++i) SipRound(v);
  return v[0] ^ v[1] ^ v[2] ^ v[3];
}

void COOKIE_RESET() { FillRandom(cookie_key, sizeof cookie_key); }

uint64_t COOKIE_MAKE(uint32_t address, uint16_t port, uint64_t nonce, uint32_t epoch) {
  // Address and port as they travel (network order), nonce and epoch low
  // byte first.
  uint8_t input[4 + 2 + 8 + 4];
  std::memcpy(input, &address, 4);
  std::memcpy(input + 4, &port, 2);
  for (int i = 0; i < 8; ++i) input[6 + i] = static_cast<uint8_t>(nonce >> (8 * i));
  for (int i = 0; i < 4; ++i) input[14 + i] = static_cast<uint8_t>(epoch >> (8 * i));
  return SipHash24(cookie_key, input, sizeof input);
}

uint32_t COOKIE_EPOCH() { return GUARD_CYCLE / EPOCH_TICKS; }

bool COOKIE_VALID(uint32_t address, uint16_t port, uint64_t nonce, uint64_t cookie) {
  const uint32_t now = COOKIE_EPOCH();
  if (cookie == COOKIE_MAKE(address, port, nonce, now)) return true;
  return now > 0 && cookie == COOKIE_MAKE(address, port, nonce, now - 1);
}

uint64_t NET_RANDOMTOKEN() {
  uint64_t token = 0;
  while (token == 0) FillRandom(&token, sizeof token);
  return token;
}

uint16_t NET_RANDOMWORD() {
  uint16_t word = 0;
  FillRandom(&word, sizeof word);
  return word;
}
