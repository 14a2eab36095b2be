#include "classlib/DateTimeText.h"

#include <gtest/gtest.h>

using namespace vantrel;

namespace {

TFormatSettings Settings(const char* date, const char* time, char separator = ':')
{
    TFormatSettings s;
    s.ShortDateFormat = date;
    s.LongTimeFormat = time;
    s.TimeSeparator = separator;
    s.TimeAMString = "AM";
    s.TimePMString = "PM";
    return s;
}

TEST(DateTimeToStr, WritesTheShortDateAndTheLongTimeUnlessItIsMidnight)
{
    struct Case {
        TDateTime value;
        TFormatSettings settings;
        const char* expected;
    };
    const TDateTime day = EncodeDate(2024, 3, 5);
    const TFormatSettings us = Settings("MM/dd/yyyy", "hh:nn:ss AMPM");
    const Case cases[] = {
        {day + EncodeTime(14, 7, 9, 0), us, "03/05/2024 02:07:09 PM"},
        {day + EncodeTime(0, 30, 0, 0), us, "03/05/2024 12:30:00 AM"},
        {day + EncodeTime(12, 0, 0, 0), us, "03/05/2024 12:00:00 PM"},
        {day, us, "03/05/2024"},
        {day + EncodeTime(0, 0, 0, 400), us, "03/05/2024"},
        {day + EncodeTime(14, 7, 9, 0), Settings("dd.MM.yyyy", "hh:nn:ss"), "05.03.2024 14:07:09"},
        {day + EncodeTime(9, 7, 9, 0), Settings("MM/dd/yy", "h:mm:ss", '.'), "03/05/24 9.07.09"},
        {day + EncodeTime(9, 7, 9, 0), Settings("yyyy-M-d", "AMPM h:nn"), "2024-3-5 AM 9:07"},
        {1e10, us, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(DateTimeToStr(c.value, c.settings), c.expected);
    }
}

} // namespace
