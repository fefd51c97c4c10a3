#include "GameTestSupport.h"

#include <algorithm>

namespace tovra::testing {
namespace {

struct RuleCase {
    const char* name;
    const char* previous;
    std::vector<std::string> legal;   // in the order hints and the end-of-game test try them
    std::vector<std::string> refused;
};

void PrintTo(const RuleCase& c, std::ostream* os) { *os << c.name; }

class MoveRuleTest : public GameFixture, public ::testing::WithParamInterface<RuleCase> {};

TEST_P(MoveRuleTest, AcceptsExactlyTheListedTargets)
{
    const RuleCase& rule = GetParam();
    for (const std::string& target : rule.legal) {
        Nuovapartita1Click(game, board);
        Play({rule.previous});
        Click(target);
        EXPECT_EQ(Caption(target), "2") << rule.previous << " -> " << target;
    }
    for (const std::string& target : rule.refused) {
        Nuovapartita1Click(game, board);
        Play({rule.previous});
        Click(target);
        EXPECT_EQ(game.MoveCount, 1) << rule.previous << " -> " << target;
    }
}

TEST_P(MoveRuleTest, TargetsComeInClockwiseOrderFromStraightUp)
{
    const RuleCase& rule = GetParam();
    std::vector<std::string> tried;
    ForEachTarget(rule.previous, [&](const std::string& id) { tried.push_back(id); });
    EXPECT_EQ(tried, rule.legal);
    auto brute = BruteForceTargets(rule.previous);
    std::sort(tried.begin(), tried.end());
    EXPECT_EQ(tried, brute);
}

INSTANTIATE_TEST_SUITE_P(
    FromCells, MoveRuleTest,
    ::testing::Values(
        RuleCase{"centre", "bt0505",
                 {"bt0205", "bt0307", "bt0508", "bt0707", "bt0805", "bt0703", "bt0502", "bt0303"},
                 {"bt0506", "bt0606", "bt0607", "bt0808", "bt0509", "bt0505"}},
        RuleCase{"top_left_corner", "bt0101", {"bt0104", "bt0303", "bt0401"}, {"bt0102", "bt0202", "bt0105"}},
        RuleCase{"bottom_right_corner", "bt1010", {"bt0710", "bt1007", "bt0808"}, {"bt1009", "bt0909"}},
        RuleCase{"one_column_from_the_right_edge", "bt0509",
                 {"bt0209", "bt0809", "bt0707", "bt0506", "bt0307"}, {"bt0510", "bt0508"}},
        RuleCase{"top_row", "bt0102", {"bt0105", "bt0304", "bt0402"}, {"bt0101", "bt0204"}},
        RuleCase{"right_edge_row_four", "bt0408",
                 {"bt0108", "bt0210", "bt0610", "bt0708", "bt0606", "bt0405", "bt0206"}, {"bt0410", "bt0409"}},
        RuleCase{"row_three", "bt0303",
                 {"bt0105", "bt0306", "bt0505", "bt0603", "bt0501", "bt0101"}, {"bt0301", "bt0404"}}),
    [](const auto& row) { return std::string(row.param.name); });

} // namespace
} // namespace tovra::testing
