// The client's side of the wire protocol and its socket.
#pragma once

#include <cstdint>
#include <string>

#include "protocol/msgbuf.h"

extern MessageBuffer client_buf;
extern uint16_t local_port;
// The next socket is tried from the first local port again.
void ResetLocalPort();

bool InitNetwork();
void CloseNetwork();
void ReceiveMessages();
void SendInput();
void SendChat();
void SendDisconnect();
void ApplyEvent(const std::string& entry);
// Applies the datagram now in client_buf from the given sender, as
// ReceiveMessages does for every datagram it takes from the socket.
void HandleDatagram(const std::string& sender_address, uint16_t sender_port);

// The session as at program start: version 28 for a connection set up
// without an attempt, and no server remembered as speaking only 28.
void ResetSession();
// A connection attempt starts (Connect in the menu, --connect, or
// connecting again after the server lost us): a fresh random nonce and
// version 29, unless this very server said it speaks only 28. Called with
// the server's address and port already set.
void StartConnectAttempt();
// 28 or 29: what this connection speaks now.
uint8_t SessionVersion();
// Version 29: the number of the newest input the server says it applied.
uint16_t AppliedInputSequence();
