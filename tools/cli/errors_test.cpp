#include "tools/cli/errors.h"

#include <gtest/gtest.h>

namespace {

// Scripts read these numbers (qbt --help lists them): each kind of failure that stops a run
// keeps its own, whichever room it came from, and its message reaches main unchanged.
TEST(ExitCodes, EachKindOfFailureStopsTheRunWithItsOwnCode) {
    const std::pair<FailureKind, int> codes[] = {
        {FailureKind::kWrongUsage, 2},
        {FailureKind::kCannotRead, 3},
        {FailureKind::kPluginUnusable, 4},
        {FailureKind::kRefused, 6},
    };
    for (const auto& [kind, code] : codes) {
        try {
            (void)ValueOrStop(Result<int>(Failure{kind, "why it stopped"}));
            ADD_FAILURE() << code << " did not stop the run";
        } catch (const ToolError& error) {
            EXPECT_EQ(error.exitCode, code);
            EXPECT_STREQ(error.what(), "why it stopped");
        }
    }
    EXPECT_EQ(ValueOrStop(Result<int>(7)), 7);
}

}  // namespace
