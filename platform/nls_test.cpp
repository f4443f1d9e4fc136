#include "platform/nls.h"

#include <gtest/gtest.h>

#include <langinfo.h>
#include <locale.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/encoding.h"

namespace velk {
namespace {

LocaleData EnglishNames()
{
    LocaleData data;
    data.month_names = {"January", "February", "March",     "April",   "May",      "June",
                        "July",    "August",   "September", "October", "November", "December"};
    data.abbreviated_month_names = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                    "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    data.day_names = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
    data.abbreviated_day_names = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    data.am = "AM";
    data.pm = "PM";
    return data;
}

// German names (non-ASCII "März") and no AM/PM designators, as glibc's de_DE has them.
LocaleData GermanNames()
{
    LocaleData data;
    data.month_names = {"Januar", "Februar", "März",      "April",   "Mai",      "Juni",
                        "Juli",   "August",  "September", "Oktober", "November", "Dezember"};
    data.abbreviated_month_names = {"Jan", "Feb", "Mär", "Apr", "Mai", "Jun",
                                    "Jul", "Aug", "Sep", "Okt", "Nov", "Dez"};
    data.day_names = {"Sonntag",    "Montag",  "Dienstag", "Mittwoch",
                      "Donnerstag", "Freitag", "Samstag"};
    data.abbreviated_day_names = {"So", "Mo", "Di", "Mi", "Do", "Fr", "Sa"};
    return data;
}

Nls English()
{
    LocaleData data = EnglishNames();
    data.short_date_picture = "M/d/yyyy";
    data.long_date_picture = "dddd, MMMM d, yyyy";
    data.time_picture = "h:mm:ss tt";
    return Nls(std::move(data));
}

Nls German()
{
    LocaleData data = GermanNames();
    data.short_date_picture = "dd.MM.yyyy";
    data.long_date_picture = "dddd, d. MMMM yyyy";
    data.time_picture = "HH:mm:ss";
    return Nls(std::move(data));
}

std::string FormatDate(const Nls& nls, const CalendarTime& when, std::string_view picture)
{
    std::string text;
    EXPECT_EQ(nls.GetDateFormat(when, picture, text), S_OK);
    return text;
}

std::string FormatTime(const Nls& nls, const CalendarTime& when, std::string_view picture)
{
    std::string text;
    EXPECT_EQ(nls.GetTimeFormat(when, picture, text), S_OK);
    return text;
}

// Tuesday 5 March 2024, 13:05:09 (day_of_week deliberately wrong: the date call works it out).
constexpr CalendarTime kTuesday{2024, 3, 5, 13, 5, 9, 0, 0};

struct PictureCase {
    CalendarTime when;
    const char* picture;
    const char* expected;
};

TEST(NlsPicture, DateLettersWriteEachForm)
{
    const PictureCase cases[] = {
        {kTuesday, "d", "5"},
        {kTuesday, "dd", "05"},
        {kTuesday, "ddd", "Tue"},
        {kTuesday, "dddd", "Tuesday"},
        {kTuesday, "dddddddd", "Tuesday"},
        {kTuesday, "M", "3"},
        {kTuesday, "MM", "03"},
        {kTuesday, "MMM", "Mar"},
        {kTuesday, "MMMM", "March"},
        {kTuesday, "MMMMMMM", "March"},
        {kTuesday, "y", "24"},
        {kTuesday, "yy", "24"},
        {kTuesday, "yyy", "2024"},
        {kTuesday, "yyyy", "2024"},
        {kTuesday, "yyyyyy", "2024"},
        {kTuesday, "g", "A.D."},
        {kTuesday, "ggg", "A.D."},
        {{2009, 12, 31}, "y|yy|yyyy", "9|09|2009"},
        {{2000, 1, 2}, "y|yy", "0|00"},
        {{105, 6, 7}, "y|yy|yyyy", "5|05|0105"},
        {{2023, 12, 31, 0, 0, 0, 0, 99}, "dddd ddd MMMM MMM", "Sunday Sun December Dec"},
        {{2024, 1, 6}, "dddd ddd MMMM MMM", "Saturday Sat January Jan"},
        {kTuesday, "dddd, MMMM d, yyyy", "Tuesday, March 5, 2024"},
        {kTuesday, "d-M-y", "5-3-24"},
    };
    const Nls nls = English();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.picture);
        EXPECT_EQ(FormatDate(nls, c.when, c.picture), c.expected);
    }
}

TEST(NlsPicture, TimeLettersWriteEachForm)
{
    const PictureCase cases[] = {
        {kTuesday, "h", "1"},
        {kTuesday, "hh", "01"},
        {kTuesday, "hhhh", "01"},
        {kTuesday, "H", "13"},
        {kTuesday, "HHH", "13"},
        {{2024, 1, 1, 7}, "H|HH", "7|07"},
        {kTuesday, "m|mm|mmm", "5|05|05"},
        {kTuesday, "s|ss|sss", "9|09|09"},
        {kTuesday, "t|tt|ttttt", "P|PM|PM"},
        {{2024, 1, 1, 0, 0, 0}, "h:mm tt|HH:mm:ss", "12:00 AM|00:00:00"},
        {{2024, 1, 1, 0, 59, 59}, "hh:mm:ss t", "12:59:59 A"},
        {{2024, 1, 1, 11, 59}, "h tt", "11 AM"},
        {{2024, 1, 1, 12, 0}, "h tt", "12 PM"},
        {{2024, 1, 1, 23, 1}, "h:mm tt H", "11:01 PM 23"},
    };
    const Nls nls = English();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.picture);
        EXPECT_EQ(FormatTime(nls, c.when, c.picture), c.expected);
    }
}

struct TextCase {
    const char* picture;
    const char* date;
    const char* time;
};

// Quotes and letters that are not picture letters of the call read the same in both calls.
TEST(NlsPicture, QuotesAndOtherLettersStayLiteral)
{
    const TextCase cases[] = {
        {"'day' d h", "day 5 h", "day d 1"},
        {"'h' h", "h h", "h 1"},
        {"'it''s' d h", "it's 5 h", "it's d 1"},
        {"d''d", "5'5", "d'd"},
        {"''", "'", "'"},
        {"'", "", ""},
        {"'unterminated d MMMM", "unterminated d MMMM", "unterminated d MMMM"},
        {"MMM'", "Mar", "MMM"},
        {"'d'd", "d5", "dd"},
        {"dd' de 'MMMM", "05 de March", "dd de MMMM"},
        {"d H:m:s h tt", "5 H:m:s h tt", "d 13:5:9 1 PM"},
        {"HH dd MM yy g", "HH 05 03 24 A.D.", "13 dd MM yy g"},
        {"D Y x T S Ähm", "D Y x T S Ähm", "D Y x T S Ä15"},
        {"", "", ""},
    };
    const Nls nls = English();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.picture);
        EXPECT_EQ(FormatDate(nls, kTuesday, c.picture), c.date);
        EXPECT_EQ(FormatTime(nls, kTuesday, c.picture), c.time);
    }
}

TEST(NlsPicture, EmptyDesignatorWritesNothing)
{
    const Nls nls = German();
    EXPECT_EQ(FormatTime(nls, kTuesday, "h:mm tt"), "1:05 ");
    EXPECT_EQ(FormatTime(nls, kTuesday, "t|tt"), "|");
    EXPECT_EQ(FormatDate(nls, kTuesday, "dddd, d. MMMM yyyy"), "Dienstag, 5. März 2024");
}

TEST(NlsPicture, DesignatorInitialIsAWholeCharacter)
{
    LocaleData data = EnglishNames();
    data.am = "午前";
    data.pm = "午後";
    const Nls nls(std::move(data));
    EXPECT_EQ(FormatTime(nls, {2024, 1, 1, 9}, "t tt"), "午 午前");
    EXPECT_EQ(FormatTime(nls, {2024, 1, 1, 21}, "t tt"), "午 午後");
}

// Pictures come from the registry and from streams: any bytes give valid UTF-8, whole
// characters of the picture kept, broken ones replaced.
TEST(NlsPicture, AnyBytesGiveValidUtf8)
{
    const Nls nls = German();
    const TextCase known[] = {
        {"\xC3\xA9 d", "\xC3\xA9 5", "\xC3\xA9 d"},
        {"\xC3 d", "\xEF\xBF\xBD 5", "\xEF\xBF\xBD d"},
        {"dd\xE2\x82", "05\xEF\xBF\xBD\xEF\xBF\xBD", "dd\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"'\xF0\x9F\x98\x80' t", "\xF0\x9F\x98\x80 t", "\xF0\x9F\x98\x80 "},
    };
    for (const auto& c : known) {
        SCOPED_TRACE(c.picture);
        EXPECT_EQ(FormatDate(nls, kTuesday, c.picture), c.date);
        EXPECT_EQ(FormatTime(nls, kTuesday, c.picture), c.time);
    }

    std::vector<std::string> pictures = {std::string("d\0M", 3), "\xFF\xFE", "'\xED\xA0\x80'",
                                         "MMMM\xF4\x90\x80\x80", "\xC0\xAF"};
    for (int byte = 0; byte < 256; ++byte) {
        const char c = static_cast<char>(byte);
        pictures.push_back(std::string("MMM") + c + "'" + c + c + "tt" + c);
    }
    for (const auto& picture : pictures) {
        SCOPED_TRACE(testing::PrintToString(picture));
        const std::string date = FormatDate(nls, kTuesday, picture);
        const std::string time = FormatTime(nls, kTuesday, picture);
        EXPECT_EQ(ToValidUtf8(date), date);
        EXPECT_EQ(ToValidUtf8(time), time);
    }
}

TEST(NlsPicture, NamesBecomeValidUtf8)
{
    LocaleData data = GermanNames();
    data.month_names[2] = "M\xE4rz"; // Latin-1, as a locale without iconv would hand it over
    const Nls nls(std::move(data));
    EXPECT_EQ(FormatDate(nls, kTuesday, "MMMM"), "M\xEF\xBF\xBDrz");
}

TEST(NlsFormat, WithoutPictureUsesTheLocalePictures)
{
    const Nls nls = German();
    std::string text;
    ASSERT_EQ(nls.GetDateFormat(kTuesday, std::nullopt, text), S_OK);
    EXPECT_EQ(text, "05.03.2024");
    ASSERT_EQ(nls.GetTimeFormat(kTuesday, std::nullopt, text), S_OK);
    EXPECT_EQ(text, "13:05:09");
    ASSERT_EQ(nls.GetDateFormat(kTuesday, nls.LongDatePicture(), text), S_OK);
    EXPECT_EQ(text, "Dienstag, 5. März 2024");
}

TEST(NlsFormat, FieldsOutOfRangeFailWithEmptyText)
{
    const Nls nls = English();
    const CalendarTime bad_dates[] = {{2024, 0, 1},  {2024, 13, 1}, {2024, 1, 0},  {2023, 2, 29},
                                      {2024, 4, 31}, {99, 12, 31},  {10000, 1, 1}, {-1, 1, 1}};
    for (const auto& when : bad_dates) {
        SCOPED_TRACE(testing::Message() << when.year << '-' << when.month << '-' << when.day);
        std::string text = "stale";
        EXPECT_EQ(nls.GetDateFormat(when, "yyyy", text), E_INVALIDARG);
        EXPECT_EQ(text, "");
        // The time call does not read the date.
        EXPECT_EQ(nls.GetTimeFormat(when, "HH", text), S_OK);
    }
    const CalendarTime bad_times[] = {{2024, 1, 1, 24},
                                      {2024, 1, 1, -1},
                                      {2024, 1, 1, 0, 60},
                                      {2024, 1, 1, 0, -1},
                                      {2024, 1, 1, 0, 0, 60}};
    for (const auto& when : bad_times) {
        SCOPED_TRACE(testing::Message() << when.hour << ':' << when.minute << ':' << when.second);
        std::string text = "stale";
        EXPECT_EQ(nls.GetTimeFormat(when, "HH", text), E_INVALIDARG);
        EXPECT_EQ(text, "");
        EXPECT_EQ(nls.GetDateFormat(when, "yyyy", text), S_OK);
    }
}

// glibc's en_US formats, for the composites that expand through the locale.
const StrftimeFormats kUnitedStates{"%m/%d/%Y", "%r", "%I:%M:%S %p", "%a %d %b %Y %r %Z"};

TEST(NlsStrftime, TranslatesConversions)
{
    struct Case {
        const char* format;
        const char* picture;
    };
    const Case cases[] = {
        {"%d.%m.%Y", "dd.MM.yyyy"},
        {"%e %B %y", "d MMMM yy"},
        {"%a %A %b %h", "ddd dddd MMM MMM"},
        {"%H:%M:%S", "HH:mm:ss"},
        {"%k %I %l %p %P", "H hh h tt tt"},
        {"%D|%F|%T|%R", "MM/dd/yy|yyyy-MM-dd|HH:mm:ss|HH:mm"},
        {"%r", "hh:mm:ss tt"},
        {"%x %X", "MM/dd/yyyy hh:mm:ss tt"},
        {"%-d.%-m.%_H %0e %0k %-I", "d.M.H dd HH h"},
        {"%Ey %OH %^a %10Y", "yy HH ddd yyyy"},
        {"100%%%n%d%t%m", "100% dd MM"},
        {"%Y-%m-%d %Z", "yyyy-MM-dd"},
        {"%Z %z %Y", "yyyy"},
        {"%d/%j/%m", "dd/MM"},
        {"%a %d %b %Y %r %Z", "ddd dd MMM yyyy hh:mm:ss tt"},
        {"%d de %B de %Y", "dd' de 'MMMM' de 'yyyy"},
        {"%Hh%M", "HH'h'mm"},
        {"%d'%m", "dd''MM"},
        {"%Y年%m月%d日", "yyyy年MM月dd日"},
        {"%d %", "dd"},
        {"%d%d", "dd"},
        {"%c %C %G %u %s", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format);
        EXPECT_EQ(PictureFromStrftime(c.format, kUnitedStates), c.picture);
    }
}

TEST(NlsStrftime, LocaleFormatsNamingThemselvesDoNotRecurse)
{
    const StrftimeFormats self_naming{"%x", "%X", "%r", "%c"};
    EXPECT_EQ(PictureFromStrftime("%x|%X|%r|%d", self_naming), "dd");
}

// The picture of a format writes what strftime writes, in the C locale.
TEST(NlsStrftime, PictureWritesWhatStrftimeWrites)
{
    const char* date_formats[] = {"%m/%d/%y", "%a %b %d %Y", "%A, %B %d, %Y", "%d de %B de %Y",
                                  "%F"};
    const char* time_formats[] = {"%H:%M:%S", "%I:%M:%S %p", "%Hh%M", "%R", "%T %Z"};
    const CalendarTime times[] = {{2024, 3, 5, 13, 5, 9},
                                  {1999, 12, 31, 0, 0, 0},
                                  {2000, 1, 1, 12, 30, 0},
                                  {2023, 7, 16, 23, 59, 59}};
    const auto nls = Nls::FromLocaleName("C");
    ASSERT_TRUE(nls);
    const locale_t c_locale = newlocale(LC_ALL_MASK, "C", nullptr);
    ASSERT_NE(c_locale, nullptr);
    const StrftimeFormats c_formats{nl_langinfo_l(D_FMT, c_locale), nl_langinfo_l(T_FMT, c_locale),
                                    nl_langinfo_l(T_FMT_AMPM, c_locale),
                                    nl_langinfo_l(D_T_FMT, c_locale)};
    for (const auto& when : times) {
        std::tm tm{};
        tm.tm_year = when.year - 1900;
        tm.tm_mon = when.month - 1;
        tm.tm_mday = when.day;
        tm.tm_hour = when.hour;
        tm.tm_min = when.minute;
        tm.tm_sec = when.second;
        tm.tm_isdst = -1;
        ASSERT_NE(timegm(&tm), -1); // fills the day of the week
        const auto expect = [&](const char* format, bool is_date) {
            SCOPED_TRACE(format);
            char expected[128];
            ASSERT_GT(strftime_l(expected, sizeof expected, format, &tm, c_locale), 0u);
            const std::string picture = PictureFromStrftime(format, c_formats);
            std::string text;
            ASSERT_EQ(is_date ? nls->GetDateFormat(when, picture, text)
                              : nls->GetTimeFormat(when, picture, text),
                      S_OK);
            // Dropped conversions leave their part of strftime's text out.
            const std::string_view full(expected);
            EXPECT_EQ(text, full.substr(0, text.size())) << "picture " << picture;
        };
        for (const char* format : date_formats)
            expect(format, true);
        for (const char* format : time_formats)
            expect(format, false);
    }
    freelocale(c_locale);
}

struct DeriveCase {
    const char* name;
    LocaleData names;
    StrftimeFormats formats;
    std::vector<std::string> short_dates, long_dates, times; // the own picture first
};

TEST(NlsLocaleData, DerivesPicturesAndCandidates)
{
    LocaleData japanese = EnglishNames();
    japanese.am = "午前";
    japanese.pm = "午後";
    const DeriveCase cases[] = {
        {"C",
         EnglishNames(),
         {"%m/%d/%y", "%H:%M:%S", "%I:%M:%S %p", "%a %b %e %H:%M:%S %Y"},
         {"MM/dd/yy", "MM/dd/yyyy", "yyyy-MM-dd"},
         {"dddd MMMM d yyyy", "ddd MMM d yyyy"},
         {"HH:mm:ss", "H:mm:ss", "hh:mm:ss tt", "h:mm:ss tt"}},
        {"de_DE",
         GermanNames(),
         {"%d.%m.%Y", "%T", "", "%a %d %b %Y %T %Z"},
         {"dd.MM.yyyy", "yyyy-MM-dd"},
         {"dddd dd MMMM yyyy", "ddd dd MMM yyyy"},
         {"HH:mm:ss", "H:mm:ss"}},
        {"en_US",
         EnglishNames(),
         kUnitedStates,
         {"MM/dd/yyyy", "yyyy-MM-dd"},
         {"dddd dd MMMM yyyy", "ddd dd MMM yyyy"},
         {"hh:mm:ss tt", "h:mm:ss tt"}},
        {"ja_JP",
         japanese,
         {"%Y年%m月%d日", "%H時%M分%S秒", "%p%I時%M分%S秒", "%Y年%m月%d日 %H時%M分%S秒"},
         {"yyyy年MM月dd日", "yyyy-MM-dd"},
         {"yyyy年MM月dd日"},
         {"HH時mm分ss秒", "H時mm分ss秒", "tthh時mm分ss秒", "tth時mm分ss秒"}},
        {"formats without fields",
         GermanNames(),
         {"%Z", "%z", "", "%H:%M"},
         {"MM/dd/yy", "MM/dd/yyyy", "yyyy-MM-dd"},
         {"MM/dd/yyyy"},
         {"HH:mm:ss", "H:mm:ss"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Nls nls(DeriveLocalePictures(c.names, c.formats));
        EXPECT_EQ(nls.ShortDatePicture(), c.short_dates.front());
        EXPECT_EQ(nls.LongDatePicture(), c.long_dates.front());
        EXPECT_EQ(nls.TimePicture(), c.times.front());
        EXPECT_EQ(nls.EnumDateFormats(DateFormatKind::ShortDate), c.short_dates);
        EXPECT_EQ(nls.EnumDateFormats(DateFormatKind::LongDate), c.long_dates);
        EXPECT_EQ(nls.EnumTimeFormats(), c.times);
    }
}

TEST(NlsLocaleData, CandidateListsStartWithOwnPictureWithoutRepeats)
{
    LocaleData data = GermanNames();
    data.short_date_picture = "dd.MM.yy";
    data.short_date_candidates = {"", "yyyy-MM-dd", "dd.MM.yy", "yyyy-MM-dd", "d.M.yy"};
    data.time_picture = "HH:mm";
    const Nls nls(std::move(data));
    EXPECT_EQ(nls.EnumDateFormats(DateFormatKind::ShortDate),
              (std::vector<std::string>{"dd.MM.yy", "yyyy-MM-dd", "d.M.yy"}));
    EXPECT_EQ(nls.EnumTimeFormats(), std::vector<std::string>{"HH:mm"});
    EXPECT_TRUE(nls.EnumDateFormats(DateFormatKind::LongDate).empty());
}

TEST(NlsLocale, InstalledCLocalesGiveTheCPictures)
{
    for (const char* name : {"C", "C.UTF-8", "POSIX"}) {
        SCOPED_TRACE(name);
        const auto nls = Nls::FromLocaleName(name);
        ASSERT_TRUE(nls);
        EXPECT_EQ(nls->ShortDatePicture(), "MM/dd/yy");
        EXPECT_EQ(nls->LongDatePicture(), "dddd MMMM d yyyy");
        EXPECT_EQ(nls->TimePicture(), "HH:mm:ss");
        std::string text;
        ASSERT_EQ(nls->GetDateFormat(kTuesday, nls->LongDatePicture(), text), S_OK);
        EXPECT_EQ(text, "Tuesday March 5 2024");
        ASSERT_EQ(nls->GetTimeFormat(kTuesday, "h:mm tt", text), S_OK);
        EXPECT_EQ(text, "1:05 PM");
    }
}

TEST(NlsLocale, UnknownNamesAreNotInstalled)
{
    const std::string names[] = {"xx_XX.UTF-8", "", std::string("C\0.UTF-8", 8), "../C",
                                 "/usr/lib/locale/C.utf8"};
    for (const auto& name : names) {
        SCOPED_TRACE(testing::PrintToString(name));
        EXPECT_FALSE(Nls::FromLocaleName(name));
    }
}

TEST(NlsLocale, UserDefaultLeavesTheGlobalLocaleAlone)
{
    const std::string before = setlocale(LC_ALL, nullptr);
    const Nls& nls = Nls::UserDefault();
    EXPECT_EQ(setlocale(LC_ALL, nullptr), before);
    EXPECT_EQ(&Nls::UserDefault(), &nls);
    std::string text;
    ASSERT_EQ(nls.GetDateFormat(kTuesday, std::nullopt, text), S_OK);
    EXPECT_FALSE(text.empty());
    ASSERT_EQ(nls.GetTimeFormat(kTuesday, std::nullopt, text), S_OK);
    EXPECT_FALSE(text.empty());
}

// The environment is read once per process: each case runs in a fresh one.
TEST(NlsLocale, UserDefaultFollowsTheEnvironmentAndFallsBackToC)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const char* environments[][2] = {
        {"LC_ALL", "xx_XX.UTF-8"}, {"LC_TIME", "C.UTF-8"}, {"LANG", "no_such_locale"}};
    for (const auto& variable : environments) {
        SCOPED_TRACE(variable[0]);
        EXPECT_EXIT(
            {
                unsetenv("LC_ALL");
                unsetenv("LC_TIME");
                unsetenv("LANG");
                setenv(variable[0], variable[1], 1);
                const Nls& nls = Nls::UserDefault();
                std::fprintf(stderr, "[%s|%s|%s]", nls.ShortDatePicture().c_str(),
                             nls.LongDatePicture().c_str(), nls.TimePicture().c_str());
                std::exit(0);
            },
            testing::ExitedWithCode(0), "\\[MM/dd/yy\\|dddd MMMM d yyyy\\|HH:mm:ss\\]");
    }
}

} // namespace
} // namespace velk
