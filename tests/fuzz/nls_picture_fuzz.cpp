// Pictures come from the registry and from streams: any bytes given to either call must give
// valid UTF-8 text, never a crash. The same bytes read as a strftime format must translate to
// a picture that both calls accept.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/encoding.h"
#include "platform/nls.h"

namespace {

velk::Nls FuzzLocale()
{
    velk::LocaleData data;
    data.month_names = {"Januar", "Februar", "März",      "April",   "Mai",      "Juni",
                        "Juli",   "August",  "September", "Oktober", "November", "Dezember"};
    data.abbreviated_month_names = {"Jan", "Feb", "Mär", "Apr", "Mai", "Jun",
                                    "Jul", "Aug", "Sep", "Okt", "Nov", "Dez"};
    data.day_names = {"日曜日", "月曜日", "火曜日", "水曜日", "木曜日", "金曜日", "土曜日"};
    data.abbreviated_day_names = {"日", "月", "火", "水", "木", "金", "土"};
    data.am = "午前";
    data.pm = "午後";
    return velk::Nls(velk::DeriveLocalePictures(
        std::move(data), {"%d.%m.%Y", "%T", "%p%I時%M分%S秒", "%a %d %b %Y %T %Z"}));
}

void FormatBoth(const velk::Nls& nls, std::string_view picture)
{
    const velk::CalendarTime when{2024, 2, 29, 0, 30, 59};
    std::string text;
    if (nls.GetDateFormat(when, picture, text) != velk::S_OK || velk::ToValidUtf8(text) != text)
        __builtin_trap();
    if (nls.GetTimeFormat(when, picture, text) != velk::S_OK || velk::ToValidUtf8(text) != text)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const velk::Nls nls = FuzzLocale();
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    FormatBoth(nls, input);
    const velk::StrftimeFormats formats{std::string(input), "%H:%M", std::string(input), "%c"};
    FormatBoth(nls, velk::PictureFromStrftime(input, formats));
    return 0;
}
