// QUON_MAX_RATE's text: only a plain positive decimal number sets a cap.
#include "os/rate_cap.h"

#include <gtest/gtest.h>

namespace {

TEST(MaxRateSetting, OnlyAPlainNumberIsACap) {
    EXPECT_EQ(ParseMaxRate("1048576"), 1048576u);
    EXPECT_EQ(ParseMaxRate("1"), 1u);
    for (const char* none : {"", "0", "-5", "abc", "12abc", " 12", "1.5", "+7", "99999999999999999999999"}) {
        EXPECT_EQ(ParseMaxRate(none), 0u) << none;
    }
    EXPECT_EQ(ParseMaxRate(nullptr), 0u);
}

}  // namespace
