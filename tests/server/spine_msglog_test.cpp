// The message log: the ring of the newest 97 lines and the console texts.
#include "spine_helpers.h"

namespace spine {
namespace {

class MessageLog : public ServerTest {
 protected:
  void name(uint8_t slot, const std::string& n) { SV_CLIENTSLIST[slot].name.assign(n); }
};

TEST_F(MessageLog, RingKeepsTheNewest97Lines) {
  for (int i = 1; i <= 100; ++i) SV_ADDMSG(line({EV_SERVERINFO}, "line " + std::to_string(i)));
  EXPECT_EQ(SV_LOGI, 100);
  EXPECT_EQ(SV_LOG[0], line({EV_SERVERINFO}, "line 100"));
  EXPECT_EQ(SV_LOG[96], line({EV_SERVERINFO}, "line 4"));
  std::string text = consoleText();
  EXPECT_EQ(text.rfind("line 1\nline 2\n", 0), 0u);
  EXPECT_NE(text.find("line 99\nline 100\n"), std::string::npos);
}

TEST_F(MessageLog, DisplayTextOfEveryEventCode) {
  name(2, "Ann");
  name(5, "Zed");
  SV_ADDMSG(line({EV_CONNECT, 3, 2}, "Bob"));
  SV_ADDMSG(line({EV_DISCONNECT, 2}));
  SV_ADDMSG(line({EV_TIMEOUT, 2}));
  SV_ADDMSG(line({EV_CHAT, 2}, "hi"));
  SV_ADDMSG(line({EV_KILL, 3, 2, 5}));
  SV_ADDMSG(line({EV_JOIN, 5}));
  SV_ADDMSG(line({EV_LEAVE, 5}));
  SV_ADDMSG(line({EV_WIN, 3}));
  SV_ADDMSG(line({EV_TEAMWIN, 1}));
  SV_ADDMSG(line({EV_SERVERINFO}, "plain text"));
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
            "plain text\n");
  // The connect line also filled in the slot it names.
  EXPECT_EQ(SV_CLIENTSLIST[3].name, "Bob");
  EXPECT_EQ(SV_CLIENTSLIST[3].team, 2);
}

TEST_F(MessageLog, ConnectLineNameIsCutTo20) {
  SV_ADDMSG(line({EV_CONNECT, 1, 0}, std::string(30, 'x')));
  EXPECT_EQ(SV_CLIENTSLIST[1].name, std::string(20, 'x'));
  EXPECT_EQ(consoleText(), std::string(20, 'x') + " connected!\n");
}

TEST_F(MessageLog, UnknownEmptyAndMalformedLinesAreStoredButPrintNothing) {
  SV_ADDMSG(ShortStr());
  SV_ADDMSG(line({0}, "zero"));
  SV_ADDMSG(line({11}, "eleven"));
  SV_ADDMSG(line({200}));
  SV_ADDMSG(line({EV_KILL, 9, 1, 1}));     // no such weapon
  SV_ADDMSG(line({EV_TEAMWIN, 4}));        // no such team
  SV_ADDMSG(line({EV_JOIN, 25}));          // no such slot
  SV_ADDMSG(line({EV_CHAT}));              // too short to name a slot
  EXPECT_EQ(SV_LOGI, 8);
  EXPECT_EQ(SV_LOG[5], line({11}, "eleven"));
  EXPECT_EQ(consoleText(), "");
}

TEST_F(MessageLog, FreedSlotStillPrintsTheDepartedName) {
  SV_ADDMSG(line({EV_CONNECT, 4, 0}, "Gone"));
  SV_CLIENTSLIST[4].in_use = 0;
  SV_ADDMSG(line({EV_DISCONNECT, 4}));
  EXPECT_EQ(consoleText(), "Gone connected!\nGone disconnected!\n");
}

TEST_F(MessageLog, ControlCharactersNeverReachTheConsoleRaw) {
  std::string evil = "\x1b]0;pwn\a\x1b[2J\rX\x7f";
  name(1, "N\x1b[31m");
  SV_ADDMSG(line({EV_CHAT, 1}, evil));
  SV_ADDMSG(line({EV_SERVERINFO}, "J\xc3\xbcrgen \xc2\x9b" "1m"));  // a UTF-8 name and a C1 control
  EXPECT_EQ(consoleText(), "N?[31m: ?]0;pwn??[2J?X?\nJ\xc3\xbcrgen ?1m\n");
  // The stored line is kept as received; only the console copy is made safe.
  EXPECT_EQ(SV_LOG[1], line({EV_CHAT, 1}, evil));
}

}  // namespace
}  // namespace spine
