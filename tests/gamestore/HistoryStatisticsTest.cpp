// The statistics window's figures over small histories whose figures are worked out by hand.
#include "gamestore/HistoryStatistics.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tovra {
namespace {

// A history written newest first, one game per word: [a|i]SCORE[:SECONDS][>LAST].
// "a": abandoned, "i": imported from record.dat (no time); a score of 100 reached 100, any
// other got stuck. SECONDS defaults to 60; LAST is the last reachable number, unknown if absent.
std::vector<HistoryGame> History(const std::string& words)
{
    std::vector<HistoryGame> games;
    std::istringstream in(words);
    std::string word;
    while (in >> word) {
        HistoryGame game;
        std::size_t at = 0;
        if (word[0] == 'a' || word[0] == 'i') {
            game.end = word[0] == 'a' ? GameEnd::Abandoned : GameEnd::Stuck;
            game.imported = word[0] == 'i';
            at = 1;
        }
        std::size_t used = 0;
        const int score = std::stoi(word.substr(at), &used);
        at += used;
        game.cells.assign(static_cast<std::size_t>(score), 0);
        if (score == 100 && game.end != GameEnd::Abandoned)
            game.end = GameEnd::Complete;
        game.playedMs = game.imported ? 0 : 60000;
        if (at < word.size() && word[at] == ':') {
            game.playedMs = 1000LL * std::stoi(word.substr(at + 1), &used);
            at += 1 + used;
        }
        if (at < word.size() && word[at] == '>')
            game.lastReachable = std::stoi(word.substr(at + 1));
        games.push_back(game);
    }
    return games;
}

struct FiguresCase {
    const char* name;
    const char* history;
    int played, hundreds;
    double share;
    int best;
    double average, median;
    int currentRun, longestRun;
    std::int64_t totalMs, averageMs;
};

class Figures : public ::testing::TestWithParam<FiguresCase> {};

TEST_P(Figures, AreTheHandWorkedOnes)
{
    const FiguresCase& want = GetParam();
    const HistoryStatistics got = ComputeStatistics(History(want.history));
    EXPECT_EQ(got.gamesPlayed, want.played);
    EXPECT_EQ(got.hundreds, want.hundreds);
    EXPECT_DOUBLE_EQ(got.hundredsShare, want.share);
    EXPECT_EQ(got.bestScore, want.best);
    EXPECT_DOUBLE_EQ(got.averageScore, want.average);
    EXPECT_DOUBLE_EQ(got.medianScore, want.median);
    EXPECT_EQ(got.currentRunOfHundreds, want.currentRun);
    EXPECT_EQ(got.longestRunOfHundreds, want.longestRun);
    EXPECT_EQ(got.totalPlayedMs, want.totalMs);
    EXPECT_EQ(got.averagePlayedMs, want.averageMs);
}

INSTANTIATE_TEST_SUITE_P(
    Histories, Figures,
    ::testing::Values(
        FiguresCase{"no_game_yet", "", 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
        FiguresCase{"one_hundred", "100:600", 1, 1, 1, 100, 100, 100, 1, 1, 600000, 600000},
        FiguresCase{"current_run_shorter_than_the_longest", "100 100 57 100 100 100 12", 7, 5, 5.0 / 7, 100,
                    569.0 / 7, 100, 2, 3, 420000, 60000},
        FiguresCase{"newest_game_short_of_100_ends_the_current_run", "57 100 100", 3, 2, 2.0 / 3, 100, 257.0 / 3,
                    100, 0, 2, 180000, 60000},
        FiguresCase{"abandoned_game_breaks_a_run_and_imported_games_have_no_time", "100:30 a40:90 100:30 i57 i100", 5,
                    3, 0.6, 100, 79.4, 100, 1, 1, 150000, 50000},
        FiguresCase{"even_count_takes_the_mean_of_the_middle_two", "10:1 20:2 31:3 40:4", 4, 0, 0, 40, 25.25, 25.5, 0,
                    0, 10000, 2500},
        FiguresCase{"only_imported_games", "i100 i3", 2, 1, 0.5, 100, 51.5, 51.5, 1, 1, 0, 0}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(HistoryPictures, CountScoresAndWhereGamesThatMissed100WereLost)
{
    const HistoryStatistics got = ComputeStatistics(History("57>43 60>43 100>100 12>5 30 a8>3 a9>9 57>12"));
    EXPECT_EQ(got.gamesByScore[57], 2);
    EXPECT_EQ(got.gamesByScore[100], 1);
    EXPECT_EQ(got.gamesByScore[31], 0);
    EXPECT_EQ(got.gamesByLastReachable[43], 2);
    EXPECT_EQ(got.gamesByLastReachable[5], 1);
    EXPECT_EQ(got.gamesByLastReachable[3], 1); // an abandoned game lost before it was left
    EXPECT_EQ(got.gamesByLastReachable[9], 0); // one left while 100 was still reachable
    EXPECT_EQ(got.lossesKnown, 5);             // not the 100, not the game still unknown
    EXPECT_EQ(got.recentScores, (std::vector<int>{57, 9, 8, 30, 12, 100, 60, 57}));
}

TEST(HistoryPictures, RecentScoresAreTheNewestGamesOldestFirst)
{
    std::string words;
    for (int age = 0; age < RecentScoresShown + 5; ++age)
        words += std::to_string(age % 90 + 1) + " ";
    const HistoryStatistics got = ComputeStatistics(History(words));
    ASSERT_EQ(got.recentScores.size(), static_cast<std::size_t>(RecentScoresShown));
    EXPECT_EQ(got.recentScores.back(), 1);                              // the newest
    EXPECT_EQ(got.recentScores.front(), (RecentScoresShown - 1) % 90 + 1); // the oldest shown
}

} // namespace
} // namespace tovra
