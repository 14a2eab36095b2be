#include "classlib/DateTimeText.h"

#include <gtest/gtest.h>

using namespace vantrel;

TEST(DateTimeToStr, WritesTheShortDateAndTheLongTimeUnlessItIsMidnight)
{
    const TDateTime day = EncodeDate(2024, 3, 5);
    const struct {
        TDateTime value;
        const char *date, *time, *expected;
    } cases[] = {
        {day + EncodeTime(14, 7, 9, 0), "MM/dd/yyyy", "hh:nn:ss AMPM", "03/05/2024 02:07:09 PM"},
        {day + EncodeTime(0, 30, 0, 0), "MM/dd/yy", "h:mm:ss AMPM", "03/05/24 12:30:00 AM"},
        {day + EncodeTime(0, 0, 0, 400), "dd.MM.yyyy", "hh:nn:ss", "05.03.2024"},
        {1e10, "MM/dd/yyyy", "hh:nn:ss", ""},
    };
    for (const auto& c : cases) {
        TFormatSettings s;
        s.ShortDateFormat = c.date;
        s.LongTimeFormat = c.time;
        EXPECT_EQ(DateTimeToStr(c.value, s), c.expected);
    }
}
