// Ten years of today's boards, each certified by the solver and graded by the rule.
#include "DailyBoardChecks.h"

#include "core/DailyBoard.h"

#include <gtest/gtest.h>

namespace tovra::testing {
namespace {

TEST(DailyBoardSweep, TenYearsOfBoardsAreCertifiedAndGraded)
{
    ExpectBoardsCertifiedAndGraded(*ParseIsoDate("2026-01-01"), 3650);
}

} // namespace
} // namespace tovra::testing
