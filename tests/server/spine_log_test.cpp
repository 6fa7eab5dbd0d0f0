// The message log: the ring of the newest 97 lines and the console texts;
// the operator's log: names quoted and escaped, chat marked as chat, every
// line the server's own, mode 0640, while the console shows what it always
// showed.
#include <sys/stat.h>

#include <regex>

#include "server_test.h"

namespace {

using MessageLog = ServerTest;

TEST_F(MessageLog, RingKeepsTheNewest97Lines) {
  for (int i = 1; i <= 100; ++i) AddLine(Line({EV_SERVERINFO}, "line " + std::to_string(i)));
  EXPECT_EQ(SV_LOGI, 100);
  EXPECT_EQ(LogLine(0), Line({EV_SERVERINFO}, "line 100"));
  EXPECT_EQ(LogLine(96), Line({EV_SERVERINFO}, "line 4"));
  const std::string text = consoleText();
  EXPECT_EQ(text.rfind("line 1\nline 2\n", 0), 0u);
  EXPECT_NE(text.find("line 99\nline 100\n"), std::string::npos);
}

TEST_F(MessageLog, DisplayTextOfEveryEventCodeAndNoneOfOtherLines) {
  SV_CLIENTSLIST[2].name.assign("Ann");
  SV_CLIENTSLIST[5].name.assign("Zed");
  for (const std::string& line :
       {Line({EV_CONNECT, 3, 2}, "Bob"), Line({EV_DISCONNECT, 2}), Line({EV_TIMEOUT, 2}), Line({EV_CHAT, 2}, "hi"),
        Line({EV_KILL, 3, 2, 5}), Line({EV_JOIN, 5}), Line({EV_LEAVE, 5}), Line({EV_WIN, 3}), Line({EV_TEAMWIN, 1}),
        Line({EV_SERVERINFO}, "plain text"),
        // Unknown, empty and malformed lines are stored but print nothing.
        std::string(), Line({0}, "zero"), Line({11}, "eleven"), Line({200}),
        Line({EV_KILL, 9, 1, 1}),  // no such weapon
        Line({EV_TEAMWIN, 4}),     // no such team
        Line({EV_JOIN, 25}),       // no such slot
        Line({EV_CHAT}),           // too short to name a slot
        Line({EV_CONNECT, 4, 0}, "Gone")})
    AddLine(line);
  EXPECT_EQ(SV_LOGI, 19);  // every line stored
  EXPECT_EQ(LogLine(6), Line({11}, "eleven"));
  SV_CLIENTSLIST[4].in_use = 0;  // a freed slot still prints the departed name
  AddLine(Line({EV_DISCONNECT, 4}));
  EXPECT_EQ(consoleText(),
            "Bob connected!\n"
            "Ann disconnected!\n"
            "Ann time out!\n"
            "Ann: hi\n"
            "Ann > mp40 > Zed\n"
            "Zed has joined the game!\n"
            "Zed has left the game!\n"
            "Bob WINS!\n"
            "Mutants team  WINS!\n"
            "plain text\n"
            "Gone connected!\n"
            "Gone disconnected!\n");
  // The connect line also filled in the slot it names.
  EXPECT_EQ(SV_CLIENTSLIST[3].name, "Bob");
  EXPECT_EQ(SV_CLIENTSLIST[3].team, 2);
}

TEST_F(MessageLog, ControlCharactersNeverReachTheConsoleRaw) {
  const std::string evil = "\x1b]0;pwn\a\x1b[2J\rX\x7f";
  SV_CLIENTSLIST[1].name.assign("N\x1b[31m");
  AddLine(Line({EV_CHAT, 1}, evil));
  AddLine(Line({EV_SERVERINFO}, "J\xc3\xbcrgen \xc2\x9b" "1m"));  // a UTF-8 name and a C1 control
  // Single bytes 0x80..0x9F are controls too, unless inside a UTF-8
  // character (the euro sign holds 0x82); a lone Latin-1 letter stays.
  AddLine(Line({EV_SERVERINFO}, "\x9b" "2J \xe2\x82\xac \x85 \xe9 \xc3"));
  EXPECT_EQ(consoleText(), "N?[31m: ?]0;pwn??[2J?X?\nJ\xc3\xbcrgen ?1m\n?2J \xe2\x82\xac ? \xe9 \xc3\n");
  // The stored line is kept as received; only the console copy is made safe.
  EXPECT_EQ(LogLine(2), Line({EV_CHAT, 1}, evil));
}

TEST_F(MessageLog, TheOperatorsLogQuotesNamesMarksChatAndCannotBeForged) {
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
