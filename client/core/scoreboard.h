// The scoreboard labels below the log.
#pragma once

void UpdateScoreboard();
void ScoreboardLayout();
void ShowScoreboard(bool visible);
