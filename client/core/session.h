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
// Applies the datagram now in client_buf from the given sender address, as
// ReceiveMessages does for every datagram it takes from the socket.
void HandleDatagram(const std::string& sender_address);
