// Kills the game hundreds of times in play (SIGKILL: no clean-up of any kind), each time after a
// number of actions drawn from the seed, and checks that each start resumes a board the player
// saw, and never a game whose end was written. TOVRA_SEED repeats a run; the seed is printed.
#include <gtest/gtest.h>

#include "TestFiles.h"
#include "core/SplitMix64.h"
#include "gamestore/GameDatabase.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <random>
#include <set>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace tovra {
namespace {

using namespace tovra::testing;

constexpr int Kills = 200;

std::vector<std::string> LogLines(const std::string& path)
{
    std::ifstream file(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);)
        lines.push_back(line);
    return lines;
}

TEST(ResumeCrash, EveryStartResumesABoardThePlayerSaw)
{
    const char* given = std::getenv("TOVRA_SEED");
    const unsigned seed = given ? static_cast<unsigned>(std::strtoul(given, nullptr, 10)) : std::random_device{}();
    std::cout << "TOVRA_SEED=" << seed << std::endl;
    tovra::SplitMix64 random(seed);

    TempDir dir;
    const std::string empty = " mark 0 ms 0";
    std::set<std::string> seen = {empty};
    bool lastEnded = false; // the previous run's last word was a written end
    int resumedWithNumbers = 0;
    int endsBegun = 0;
    int endsWritten = 0;
    for (int run = 0; run < Kills; ++run) {
        const std::string log = dir.Path("run-" + std::to_string(run) + ".log");
        const std::string childSeed = std::to_string(random.Next());
        // Anywhere from the start-up to a few dozen moves in.
        const std::string steps = std::to_string(random.Next() % 120);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            execl(TOVRA_CRASH_CHILD, TOVRA_CRASH_CHILD, dir.Dir().c_str(), childSeed.c_str(), log.c_str(), steps.c_str(),
                  nullptr);
            _exit(127);
        }
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "run " << run << " ended by itself: " << WEXITSTATUS(status);
        std::cout << "run " << run << ": killed after " << steps << " actions\n";

        const std::vector<std::string> lines = LogLines(log);
        ASSERT_FALSE(lines.empty()) << "run " << run;
        ASSERT_EQ(lines[0].substr(0, 2), "R ");
        const std::string resumed = lines[0].substr(2);
        EXPECT_TRUE(seen.count(resumed)) << "run " << run << " resumed a board never shown: " << resumed;
        if (lastEnded) {
            EXPECT_EQ(resumed, empty) << "run " << run << " resumed a game that had ended";
        }
        resumedWithNumbers += resumed != empty;
        for (const std::string& line : lines) {
            if (line.rfind("S ", 0) == 0)
                seen.insert(line.substr(2));
        }
        lastEnded = lines.back() == "E";
        endsBegun += static_cast<int>(std::count(lines.begin(), lines.end(), "F"));
        endsWritten += static_cast<int>(std::count(lines.begin(), lines.end(), "E"));
    }
    std::cout << Kills << " kills; " << resumedWithNumbers << " starts resumed a game; " << endsBegun
              << " ends begun, " << endsWritten << " written" << std::endl;
    // The loop must have tested something: many starts found a game to resume.
    EXPECT_GT(resumedWithNumbers, Kills / 4);
    // Every game whose end was written is there once, finished; one whose end was under way
    // at a kill may be there too, never twice.
    auto database = OpenGameDatabase(dir.Path("games.db")).database;
    ASSERT_TRUE(database);
    const std::int64_t finished = database->Sql().Number("SELECT count(*) FROM games WHERE state = 'finished'");
    EXPECT_GE(finished, endsWritten);
    EXPECT_LE(finished, endsBegun);
}

} // namespace
} // namespace tovra
