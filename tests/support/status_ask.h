// The status query as a monitor asks it over loopback: the query, the
// answers that come back, one question and its answer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "protocol/status_query.h"
#include "support/udp_peer.h"

// A query of `size` bytes: cut short, or longer with more zeros.
void SendQuery(const UdpPeer& peer, uint16_t port, uint32_t token, size_t size = STATUS_QUERY_SIZE);
// The answers that came within timeout_ms (0: those waiting now), stopping
// early once `enough` came; the largest one's length in `largest`.
std::vector<ServerStatus> Answers(const UdpPeer& peer, int timeout_ms, size_t enough, size_t* largest = nullptr);
// The answer to one query, nullptr when none came within timeout_ms.
std::unique_ptr<ServerStatus> Ask(const UdpPeer& peer, uint16_t port, uint32_t token, int timeout_ms = 3000);
