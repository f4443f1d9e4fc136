// Dates and times in Windows picture language (GetDateFormat / GetTimeFormat) and the candidate
// pictures offered to the user (EnumDateFormats / EnumTimeFormats), over glibc locale data.
// An Nls is immutable once built: any thread may use it.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/date.h"
#include "platform/hresult.h"

namespace velk {

enum class DateFormatKind { ShortDate, LongDate }; // DATE_SHORTDATE, DATE_LONGDATE

// The names and pictures of one locale, in UTF-8.
struct LocaleData {
    std::array<std::string, 12> month_names, abbreviated_month_names;
    std::array<std::string, 7> day_names, abbreviated_day_names; // [0] = Sunday
    std::string am, pm;                                          // may be empty (24-hour locales)
    std::string short_date_picture;                              // LOCALE_SSHORTDATE
    std::string long_date_picture;                               // LOCALE_SLONGDATE
    std::string time_picture;                                    // LOCALE_STIMEFORMAT
    std::vector<std::string> short_date_candidates, long_date_candidates, time_candidates;
};

// The strftime formats of a locale's LC_TIME, in UTF-8.
struct StrftimeFormats {
    std::string date;      // D_FMT
    std::string time;      // T_FMT
    std::string time_ampm; // T_FMT_AMPM (empty: "%I:%M:%S %p", as strftime reads %r)
    std::string date_time; // D_T_FMT
};

// A strftime format as a picture: %r, %x and %X expand through `locale` (two levels deep);
// conversions without a picture (%Z, %j, ...) are dropped with the separator they leave
// dangling; literal text holding picture letters is quoted.
std::string PictureFromStrftime(std::string_view format, const StrftimeFormats& locale);

// `names` (names and designators) completed with the pictures and candidates of `formats`:
// short date D_FMT; time T_FMT; long date the date part of D_T_FMT with full names and a
// four-digit year. Candidates, the locale's own picture first: short dates add the four-digit
// year and "yyyy-MM-dd"; long dates the abbreviated names; times the hour without leading zero,
// then (with AM/PM designators) the 12-hour picture of T_FMT_AMPM and its unpadded hour.
// A format without any field gives the C locale's picture (a long date the short one, widened).
LocaleData DeriveLocalePictures(LocaleData names, const StrftimeFormats& formats);

class Nls {
public:
    // Names become valid UTF-8; each candidate list starts with the locale's own picture and
    // holds no duplicates or empty pictures.
    explicit Nls(LocaleData data);

    // The user's default locale (LOCALE_USER_DEFAULT): the LC_TIME locale of the environment,
    // read once per process; the C locale when that cannot be loaded. Never touches the
    // process's global locale.
    static const Nls& UserDefault();
    // A locale installed on the system ("C.UTF-8", "de_DE.UTF-8"); empty when it is not
    // installed. An empty name (glibc's word for the environment) and a path are no locale.
    static std::optional<Nls> FromLocaleName(const std::string& name);

    // The date (or time) of `when` written with the picture; without one, the locale's short
    // date (or time) picture. An empty picture gives an empty text. The date call reads only
    // year (100..9999, as Date), month and day and works out the day of the week itself; the time
    // call reads only hour, minute and second. A field out of range gives E_INVALIDARG with the
    // text left empty. Era (g) is "A.D." in every locale.
    HRESULT GetDateFormat(const CalendarTime& when, std::optional<std::string_view> picture,
                          std::string& text) const;
    HRESULT GetTimeFormat(const CalendarTime& when, std::optional<std::string_view> picture,
                          std::string& text) const;

    const std::string& ShortDatePicture() const { return data_.short_date_picture; }
    const std::string& LongDatePicture() const { return data_.long_date_picture; }
    const std::string& TimePicture() const { return data_.time_picture; }
    // The candidate pictures in report order.
    std::vector<std::string> EnumDateFormats(DateFormatKind kind) const;
    std::vector<std::string> EnumTimeFormats() const;

private:
    LocaleData data_;
};

} // namespace velk
