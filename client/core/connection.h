// Staying connected and in the game: a server that went silent is noticed,
// a connection attempt nobody answers says so, server names are resolved,
// and a player the server emptied out of the game (a map change) joins again.
#pragma once

#include <cstdint>
#include <string>

// Everything here as at program start.
void ResetConnectionState();
// A connection attempt starts from scratch (menu Connect, --connect), with
// the server's address and port already set.
void BeginConnection();
// A datagram from the server arrived.
void NoteServerHeard();
// Once per frame after ReceiveMessages while not idle: the lost-server and
// no-answer notices.
void WatchConnection();
// The server's answer "not connected" or a lost server: back to connecting,
// as at start-up; the wish to play is kept.
void ConnectAgain();

// Once per frame after HandleKeys: joins again by itself when the player was
// in the game, and tells a newcomer once which key joins.
void KeepInGame();
// The join/spectate key was pressed in this frame.
void NoteJoinKey();

// Start-up's --connect HOST[:PORT]: the host is a name or a dotted address,
// resolved to IPv4. False, with a line in the log and outlog.txt, when the
// argument cannot be used; nothing is then sent.
bool ConnectFromArgument(const std::string& host_port);
// Digits only, 1..65535; -1 otherwise.
long ParsePort(const std::string& text);
// The first IPv4 address of a name or dotted address, "" with the resolver's
// reason in `error` when there is none.
std::string ResolveIPv4(const std::string& host, std::string& error);

// The server address and port config.cfg keeps: a one-off --connect does not
// replace the saved ones while its server is still the one set.
void ServerToSave(std::string& address, uint16_t& port);

// Frames without a datagram from the server after which it counts as lost,
// and between two no-answer notices while connecting.
constexpr int kLostServerFrames = 100;    // 3 s
constexpr int kNoAnswerNoticeFrames = 165;  // 5 s
// Frames between two joins the client asks for by itself; the server refuses
// a second toggle for 90 ticks anyway.
constexpr int kRejoinRetryFrames = 100;
