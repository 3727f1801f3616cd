#include "feed/RetryAfter.h"

#include <gtest/gtest.h>

TEST(RetryAfterTest, SecondsAndDatesAreReadAndHostileValuesBounded)
{
    const QDateTime now(QDate(2024, 3, 1), QTime(12, 0, 0), Qt::UTC);
    EXPECT_EQ(RetryAfterTime("120", now), now.addSecs(120));
    EXPECT_EQ(RetryAfterTime(" 3600 ", now), now.addSecs(3600));
    EXPECT_EQ(RetryAfterTime("Fri, 01 Mar 2024 13:30:00 GMT", now), now.addSecs(5400));
    // A server cannot silence its channel for ever.
    const QDateTime cap = now.addSecs(MaxRetryAfterSeconds);
    EXPECT_EQ(RetryAfterTime("999999999999999999999999", now), cap);
    EXPECT_EQ(RetryAfterTime("864000", now), cap); // ten days, a number that fits
    EXPECT_EQ(RetryAfterTime("Sat, 01 Mar 2025 12:00:00 GMT", now), cap);
    // Nothing to wait for.
    for (const char *value : {"", "0", "-5", "soon", "1.5", "Thu, 29 Feb 2024 12:00:00 GMT"}) {
        SCOPED_TRACE(value);
        EXPECT_FALSE(RetryAfterTime(value, now).isValid());
    }
}
