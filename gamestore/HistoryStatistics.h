#pragma once
// The figures and pictures of the statistics window, worked out from the history alone.
#include "gamestore/GameHistory.h"

#include <array>
#include <cstdint>
#include <vector>

namespace tovra {

// How many games the picture of recent scores shows at most.
inline constexpr int RecentScoresShown = 100;

struct HistoryStatistics {
    int gamesPlayed = 0;            // every game of the history: finished, abandoned, imported
    int hundreds = 0;               // games that reached 100
    double hundredsShare = 0;       // hundreds / gamesPlayed, 0..1; 0 without games
    int bestScore = 0;
    double averageScore = 0;
    double medianScore = 0;         // the middle score, or the mean of the two middle ones
    int currentRunOfHundreds = 0;   // 100s in a row up to the newest game
    int longestRunOfHundreds = 0;
    std::int64_t totalPlayedMs = 0; // clock time of the games played here (imported ones have none)
    std::int64_t averagePlayedMs = 0; // over the games played here; 0 without any
    std::array<int, 101> gamesByScore{}; // [s]: games of score s (index 0 unused by real games)
    // [n]: games in which 100 could be reached until number n and no longer after it (games
    // that reached 100, or were left while it was still reachable, are not counted), among
    // those whose number is known.
    std::array<int, 100> gamesByLastReachable{};
    int lossesKnown = 0;            // the sum of gamesByLastReachable
    std::vector<int> recentScores;  // the newest RecentScoresShown games' scores, oldest first
};

// `newestFirst` as ReadHistory gives it. A game that ended by being abandoned counts as
// played and breaks a run of 100s, as it did not reach 100.
HistoryStatistics ComputeStatistics(const std::vector<HistoryGame>& newestFirst);

} // namespace tovra
