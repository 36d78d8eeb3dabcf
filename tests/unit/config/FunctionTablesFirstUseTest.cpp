// Its own program, so that the two threads below are the tables' first users.
#include <gtest/gtest.h>

#include <latch>
#include <thread>

#include "config/FunctionTables.h"

namespace qx {
namespace {

TEST(FunctionTableFirstUse, TwoThreadsAtOnceBothSeeTheWholeTable)
{
    std::latch start(2);
    std::size_t rows[2] = {0, 0};
    std::int64_t last[2] = {0, 0};
    auto firstUse = [&](int i) {
        start.arrive_and_wait();
        const auto& table = qx2Functions();
        rows[i] = table.size();
        last[i] = table.back().id;
    };
    {
        std::jthread a(firstUse, 0);
        std::jthread b(firstUse, 1);
    }
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(rows[i], 144u);
        EXPECT_EQ(last[i], 2103);
    }
}

}  // namespace
}  // namespace qx
