// libFuzzer: any datagram as a status answer. Whatever is taken must write
// back to the same bytes and show as printable table columns.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "client/core/server_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static ServerListEntry entry;
  if (!ReadStatusAnswer(data, size, entry.status)) return 0;
  static uint8_t again[STATUS_ANSWER_LIMIT];
  const size_t length = WriteStatusAnswer(entry.status, again);
  if (length != size || std::memcmp(again, data, size) != 0) std::abort();
  entry.answered = true;
  const ServerListColumns c = ServerListTexts(entry);
  for (const std::string* text : {&c.name, &c.map, &c.players, &c.ping})
    for (char ch : *text)
      if (static_cast<unsigned char>(ch) < 32) std::abort();
  return 0;
}
