#include "gamestore/HistoryStatistics.h"

#include <algorithm>

namespace tovra {

HistoryStatistics ComputeStatistics(const std::vector<HistoryGame>& newestFirst)
{
    HistoryStatistics stats;
    stats.gamesPlayed = static_cast<int>(newestFirst.size());
    if (newestFirst.empty())
        return stats;

    std::vector<int> scores;
    scores.reserve(newestFirst.size());
    long long scoreSum = 0;
    int timedGames = 0;
    bool runStillCurrent = true;
    int run = 0;
    // Newest first: the current run is the one met before the first game short of 100.
    for (const HistoryGame& game : newestFirst) {
        const int score = std::clamp(game.Score(), 0, 100);
        scores.push_back(score);
        scoreSum += score;
        ++stats.gamesByScore[static_cast<std::size_t>(score)];
        stats.bestScore = std::max(stats.bestScore, score);
        if (!game.imported) {
            stats.totalPlayedMs += game.playedMs;
            ++timedGames;
        }
        const bool hundred = game.end == GameEnd::Complete && score == 100;
        if (hundred) {
            ++stats.hundreds;
            ++run;
            stats.longestRunOfHundreds = std::max(stats.longestRunOfHundreds, run);
        } else {
            if (runStillCurrent)
                stats.currentRunOfHundreds = run;
            runStillCurrent = false;
            run = 0;
            if (game.lastReachable && *game.lastReachable >= 0 && *game.lastReachable < score) {
                ++stats.gamesByLastReachable[static_cast<std::size_t>(*game.lastReachable)];
                ++stats.lossesKnown;
            }
        }
    }
    if (runStillCurrent)
        stats.currentRunOfHundreds = run;

    stats.hundredsShare = static_cast<double>(stats.hundreds) / stats.gamesPlayed;
    stats.averageScore = static_cast<double>(scoreSum) / stats.gamesPlayed;
    if (timedGames > 0)
        stats.averagePlayedMs = stats.totalPlayedMs / timedGames;

    const std::size_t recent = std::min(scores.size(), static_cast<std::size_t>(RecentScoresShown));
    stats.recentScores.assign(scores.rbegin() + static_cast<std::ptrdiff_t>(scores.size() - recent), scores.rend());

    std::sort(scores.begin(), scores.end());
    const std::size_t middle = scores.size() / 2;
    stats.medianScore = scores.size() % 2 ? scores[middle] : (scores[middle - 1] + scores[middle]) / 2.0;
    return stats;
}

} // namespace tovra
