// Today's board: how long a date's board takes to make, and what its grade means. For each
// board of a run of consecutive dates, three simple ways of playing on are tried many times
// and the share that reaches 100 is tabled by grade (docs/daily.md).
//   tovra_daily_bench [FIRST-DATE [DAYS [PLAYS]]]   defaults: 2026-01-01 3650 200
#include "core/DailyBoard.h"
#include "core/GameState.h"
#include "core/PlayPolicies.h"
#include "core/SplitMix64.h"

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace tovra;

namespace {

struct GradeRow {
    int boards = 0;
    long long given = 0;
    long long plays = 0;
    long long randomFinished = 0;
    long long lookAheadFinished = 0;
    long long randomReached = 0;
    long long lookAheadReached = 0;
    int inOrderFinished = 0;
    long long inOrderReached = 0;
};

// CPU time of this thread: what making a board costs, apart from whatever else the machine runs.
double ThreadMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

double Percent(long long part, long long whole) { return whole == 0 ? 0.0 : 100.0 * static_cast<double>(part) / static_cast<double>(whole); }

} // namespace

int main(int argc, char** argv)
{
    const auto first = ParseIsoDate(argc > 1 ? argv[1] : "2026-01-01");
    const int days = argc > 2 ? std::atoi(argv[2]) : 3650;
    const int plays = argc > 3 ? std::atoi(argv[3]) : 200;
    if (!first || days <= 0 || plays <= 0) {
        std::fprintf(stderr, "usage: tovra_daily_bench [YYYY-MM-DD [DAYS [PLAYS]]]\n");
        return 2;
    }
    const double firstDay = EncodeDate(first->year, first->month, first->day);
    std::vector<double> milliseconds;
    GradeRow rows[HardestGrade + 1];
    int offWeekday = 0;
    SplitMix64 random(20261208);
    for (int day = 0; day < days; ++day) {
        const CivilDate date = DecodeDate(firstDay + day);
        const double start = ThreadMilliseconds();
        const DailyBoard board = MakeDailyBoard(date);
        milliseconds.push_back(ThreadMilliseconds() - start);
        offWeekday += board.grade != WeekdayGrade(Weekday(date));
        GradeRow& row = rows[board.grade];
        ++row.boards;
        row.given += static_cast<long long>(board.cells.size());
        const int inOrder = PlayOn(board.cells, PlayPolicy::FewestOnwardInOrder, random);
        row.inOrderFinished += inOrder == CellCount;
        row.inOrderReached += inOrder;
        for (int play = 0; play < plays; ++play) {
            const int reached = PlayOn(board.cells, PlayPolicy::Random, random);
            row.randomReached += reached;
            row.randomFinished += reached == CellCount;
            const int lookAhead = PlayOn(board.cells, PlayPolicy::LookAhead, random);
            row.lookAheadFinished += lookAhead == CellCount;
            row.lookAheadReached += lookAhead;
        }
        row.plays += plays;
    }
    std::sort(milliseconds.begin(), milliseconds.end());
    auto at = [&](double share) { return milliseconds[static_cast<std::size_t>(share * static_cast<double>(milliseconds.size() - 1))]; };
    std::printf("%d boards from %s: making one takes (thread CPU time) median %.2f ms, p99 %.2f ms, max %.2f ms; %d off their weekday's grade\n\n",
                days, IsoDateText(*first).c_str(), at(0.5), at(0.99), milliseconds.back(), offWeekday);
    std::printf("| Grade | Boards | Given (mean) | Random play: reaches 100 | Random play: mean last number | "
                "Fewest onward moves first: reaches 100 | Fewest onward moves first: mean last number | "
                "Looking ahead with Moves: reaches 100 | Looking ahead with Moves: mean last number |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|\n");
    for (int grade = EasiestGrade; grade <= HardestGrade; ++grade) {
        const GradeRow& row = rows[grade];
        if (row.boards == 0)
            continue;
        const double plays = static_cast<double>(row.plays);
        std::printf("| %d | %d | %.1f | %.3f %% | %.1f | %.1f %% | %.1f | %.3f %% | %.1f |\n", grade, row.boards,
                    static_cast<double>(row.given) / row.boards, Percent(row.randomFinished, row.plays),
                    static_cast<double>(row.randomReached) / plays, Percent(row.inOrderFinished, row.boards),
                    static_cast<double>(row.inOrderReached) / row.boards, Percent(row.lookAheadFinished, row.plays),
                    static_cast<double>(row.lookAheadReached) / plays);
    }
    return 0;
}
