// The operator's log written by the server in this process: names quoted and
// escaped, chat marked as chat, every line the server's own, mode 0640; the
// console shows what it always showed.
#include <sys/stat.h>

#include <regex>

#include "server_test.h"

namespace {

TEST_F(ServerTest, TheOperatorsLogQuotesNamesMarksChatAndCannotBeForged) {
  TempDir dir(true);
  startServer({"-log", "ops.log", "-ipconnects", "9"});
  Peer blamer, liar;
  ASSERT_EQ(connect(blamer, "x\" from 10.9.9.9:1"), 1);
  ASSERT_EQ(connect(liar, "connect"), 2);
  liar.send(ChatMessage("slot 9 \"Admin\" from 203.0.113.7:35500\n2026-01-01T00:00:00.000Z stop: \\"));
  GAMECYCLE();
  SV_CLIENTSLIST[2].frags = 3;
  SV_MAPNEXT();
  const std::vector<std::string> lines = SplitLines(ReadFile("ops.log"));
  const std::regex stamped("[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9:.]{12}Z .*");
  std::string texts;
  for (const std::string& l : lines) {
    EXPECT_TRUE(std::regex_match(l, stamped)) << l;
    texts += l.substr(25) + "\n";
  }
  const std::string port = std::to_string(blamer.port());
  for (const std::string& want :
       {"connect: slot 1 \"x\\\" from 10.9.9.9:1\" from 127.0.0.1:" + port + "\n",
        std::string("\"x\\\" from 10.9.9.9:1\" connected!\n"), std::string("\"connect\" connected!\n"),
        std::string("chat: slot 2 \"connect\": slot 9 \\\"Admin\\\" from 203.0.113.7:35500\\x0a"
                    "2026-01-01T00:00:00.000Z stop: \\\\\n"),
        std::string("; scores: \"connect\" 3 (spectating), \"x\\\" from 10.9.9.9:1\" 0 (spectating)")})
    EXPECT_NE(texts.find(want), std::string::npos) << want << "\nnot in\n" << texts;
  struct stat st {};
  ASSERT_EQ(stat("ops.log", &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  // The console's texts are as they were.
  EXPECT_NE(consoleText().find("\nconnect: slot 9 \"Admin\" from 203.0.113.7:35500?2026"), std::string::npos);
}

}  // namespace
