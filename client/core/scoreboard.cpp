// The scoreboard below the log: game information, three aligned columns
// (score, ping, name) and, in team play, the team totals.
#include "client/core/scoreboard.h"

#include <string>

#include "client/core/client_state.h"
#include "client/core/labels.h"
#include "protocol/rules.h"

namespace {
constexpr int kMsPerPingUnit = 33;
}  // namespace

void UpdateScoreboard() {
  std::string scores = std::string("score ") + CR;
  std::string pings = std::string("ping ") + CR;
  std::string names = std::string("name") + CR;
  int team_total[NUM_TEAMS] = {};
  for (int s = 1; s <= MAX_SLOTS; ++s) {
    const TClient& p = players[s];
    if (p.state == PS_NONE) continue;
    if (p.state == PS_SPECTATOR) {
      scores += "spec";
    } else {
      scores += std::to_string(p.frags);
      team_total[p.team & 3] += p.frags;
    }
    scores += CR;
    pings += std::to_string(p.ping * kMsPerPingUnit) + CR;
    names += (s == view_slot ? "<" + p.name + ">" : " " + p.name + " ") + CR;
  }
  l_sb_s.setCaption(scores);
  l_sb_p.setCaption(pings);
  l_sb_n.setCaption(names);
  std::string teams = std::string("teams scores:") + CR;
  for (int t = 0; t < NUM_TEAMS; ++t) teams += std::string(TEAMS[t].tag) + " : " + std::to_string(team_total[t]) + CR;
  l_sb_ts.setCaption(teams);
  ScoreboardLayout();
}

void ScoreboardLayout() {
  l_sb_stat.top = l_log.height;
  const int columns_top = l_sb_stat.top + l_sb_stat.height;
  l_sb_s.top = l_sb_p.top = l_sb_n.top = columns_top;
  l_sb_ts.top = l_sb_p.top + l_sb_p.height;
  l_sb_p.left = l_sb_s.width;
  l_sb_n.left = l_sb_p.left + l_sb_p.width;
}

void ShowScoreboard(bool visible) {
  l_sb_stat.visible = l_sb_s.visible = l_sb_p.visible = l_sb_n.visible = visible;
  l_sb_ts.visible = visible && team_play != 0;
}
