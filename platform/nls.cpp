#include "platform/nls.h"

#include <langinfo.h>
#include <locale.h>

#include <exception>
#include <memory>
#include <type_traits>

#include "platform/encoding.h"

namespace velk {

namespace {

constexpr std::string_view kDateLetters = "dMyg";
constexpr std::string_view kTimeLetters = "hHmst";
constexpr std::string_view kPictureLetters = "dMyghHmst";
constexpr std::string_view kEra = "A.D.";
constexpr std::string_view kIsoDatePicture = "yyyy-MM-dd";
// The C locale's pictures, for locale data whose formats hold no field at all.
constexpr std::string_view kFallbackShortDatePicture = "MM/dd/yy";
constexpr std::string_view kFallbackTimePicture = "HH:mm:ss";
// How deep the locale's formats expand inside each other (D_T_FMT, %X, T_FMT "%r").
constexpr int kLocaleFormatDepth = 2;
// What strftime writes for %r when the locale has no T_FMT_AMPM.
constexpr std::string_view kDefaultTimeAmPmFormat = "%I:%M:%S %p";

// One piece of a picture: a run of one picture letter, or literal text (letter 0).
struct PicturePiece {
    char letter = 0;
    std::size_t count = 0;
    std::string literal;
};

using Picture = std::vector<PicturePiece>;

void AppendLiteral(Picture& pieces, std::string_view text)
{
    if (text.empty())
        return;
    if (pieces.empty() || pieces.back().letter != 0)
        pieces.emplace_back();
    pieces.back().literal.append(text);
}

// The picture as the calls read it: a run of one of `letters` is a field; text in single quotes
// is literal up to the next quote or the end; '' is one quote, inside quotes or outside.
Picture SplitPicture(std::string_view picture, std::string_view letters)
{
    Picture pieces;
    bool quoted = false;
    std::size_t i = 0;
    while (i < picture.size()) {
        const char c = picture[i];
        if (c == '\'') {
            if (i + 1 < picture.size() && picture[i + 1] == '\'') {
                AppendLiteral(pieces, "'");
                i += 2;
            } else {
                quoted = !quoted;
                ++i;
            }
        } else if (!quoted && letters.find(c) != std::string_view::npos) {
            std::size_t end = picture.find_first_not_of(c, i);
            if (end == std::string_view::npos)
                end = picture.size();
            pieces.push_back({c, end - i, {}});
            i = end;
        } else {
            AppendLiteral(pieces, picture.substr(i, 1));
            ++i;
        }
    }
    return pieces;
}

bool HasField(const Picture& pieces)
{
    for (const auto& piece : pieces) {
        if (piece.letter != 0)
            return true;
    }
    return false;
}

// Literal text written so that neither call reads a field in it.
std::string QuoteLiteral(std::string_view text)
{
    std::string doubled;
    for (char c : text) {
        doubled += c;
        if (c == '\'')
            doubled += c;
    }
    if (text.find_first_of(kPictureLetters) == std::string_view::npos)
        return doubled;
    return "'" + doubled + "'";
}

std::string JoinPicture(const Picture& pieces)
{
    std::string picture;
    const PicturePiece* previous = nullptr;
    for (const auto& piece : pieces) {
        // Two runs of one letter side by side would read as one longer run: keep the first.
        if (piece.letter != 0 && previous && previous->letter == piece.letter)
            continue;
        picture += piece.letter == 0 ? QuoteLiteral(piece.literal)
                                     : std::string(piece.count, piece.letter);
        previous = &piece;
    }
    return picture;
}

// The pieces with each field's run length replaced by `length(letter, count)`.
template <typename Length> Picture Rewrite(Picture pieces, Length length)
{
    for (auto& piece : pieces) {
        if (piece.letter != 0)
            piece.count = length(piece.letter, piece.count);
    }
    return pieces;
}

std::size_t FullNamesAndYear(char letter, std::size_t count)
{
    if (letter == 'y')
        return 4;
    return (letter == 'd' || letter == 'M') && count == 3 ? 4 : count;
}

std::size_t AbbreviatedNames(char letter, std::size_t count)
{
    return (letter == 'd' || letter == 'M') && count >= 4 ? 3 : count;
}

std::size_t FourDigitYear(char letter, std::size_t count)
{
    return letter == 'y' ? 4 : count;
}

std::size_t UnpaddedHour(char letter, std::size_t count)
{
    return letter == 'H' || letter == 'h' ? 1 : count;
}

void AddCandidate(std::vector<std::string>& list, const std::string& picture)
{
    if (picture.empty())
        return;
    for (const auto& present : list) {
        if (present == picture)
            return;
    }
    list.push_back(picture);
}

// A candidate list: `own` first, then the others; empty pictures and repeats are left out.
std::vector<std::string> Candidates(const std::string& own, const std::vector<std::string>& others)
{
    std::vector<std::string> list;
    AddCandidate(list, own);
    for (const auto& picture : others)
        AddCandidate(list, picture);
    return list;
}

// ---- strftime formats ----

enum class TokenKind { Literal, DateField, TimeField, Dropped };

struct StrftimeToken {
    TokenKind kind;
    PicturePiece piece;
};

// A conversion with a picture equivalent: its run length as written, with the 0 flag, and with
// the - or _ flag (no padding).
struct Conversion {
    char conversion;
    TokenKind kind;
    char letter;
    std::size_t count, padded, unpadded;
};

constexpr Conversion kConversions[] = {
    {'d', TokenKind::DateField, 'd', 2, 2, 1}, {'e', TokenKind::DateField, 'd', 1, 2, 1},
    {'m', TokenKind::DateField, 'M', 2, 2, 1}, {'y', TokenKind::DateField, 'y', 2, 2, 1},
    {'Y', TokenKind::DateField, 'y', 4, 4, 4}, {'b', TokenKind::DateField, 'M', 3, 3, 3},
    {'h', TokenKind::DateField, 'M', 3, 3, 3}, {'B', TokenKind::DateField, 'M', 4, 4, 4},
    {'a', TokenKind::DateField, 'd', 3, 3, 3}, {'A', TokenKind::DateField, 'd', 4, 4, 4},
    {'H', TokenKind::TimeField, 'H', 2, 2, 1}, {'k', TokenKind::TimeField, 'H', 1, 2, 1},
    {'I', TokenKind::TimeField, 'h', 2, 2, 1}, {'l', TokenKind::TimeField, 'h', 1, 2, 1},
    {'M', TokenKind::TimeField, 'm', 2, 2, 1}, {'S', TokenKind::TimeField, 's', 2, 2, 1},
    {'p', TokenKind::TimeField, 't', 2, 2, 2}, {'P', TokenKind::TimeField, 't', 2, 2, 2},
};

void AppendLiteralToken(std::vector<StrftimeToken>& tokens, std::string_view text)
{
    if (tokens.empty() || tokens.back().kind != TokenKind::Literal)
        tokens.push_back({TokenKind::Literal, {}});
    tokens.back().piece.literal.append(text);
}

// Splits a format into fields and literal text. The locale's own formats (%r, %x, %X) expand
// `depth` levels deep (%X may be T_FMT "%r"), so that formats naming each other cannot recurse
// for ever.
void TokenizeStrftime(std::string_view format, const StrftimeFormats& locale, int depth,
                      std::vector<StrftimeToken>& tokens)
{
    constexpr std::string_view kFlags = "_-0^#";
    std::size_t i = 0;
    while (i < format.size()) {
        if (format[i] != '%') {
            AppendLiteralToken(tokens, format.substr(i, 1));
            ++i;
            continue;
        }
        char padding = 0;
        for (++i; i < format.size() && kFlags.find(format[i]) != std::string_view::npos; ++i)
            padding = format[i] == '^' || format[i] == '#' ? padding : format[i];
        while (i < format.size() && format[i] >= '0' && format[i] <= '9')
            ++i;
        if (i < format.size() && (format[i] == 'E' || format[i] == 'O'))
            ++i;
        if (i >= format.size()) {
            tokens.push_back({TokenKind::Dropped, {}});
            break;
        }
        const char conversion = format[i++];
        const Conversion* field = nullptr;
        for (const auto& c : kConversions) {
            if (c.conversion == conversion)
                field = &c;
        }
        if (field) {
            const std::size_t count = padding == '0'                     ? field->padded
                                      : padding == '-' || padding == '_' ? field->unpadded
                                                                         : field->count;
            tokens.push_back({field->kind, {field->letter, count, {}}});
            continue;
        }
        std::string_view composite;
        switch (conversion) {
        case '%':
            AppendLiteralToken(tokens, "%");
            continue;
        case 'n':
        case 't':
            AppendLiteralToken(tokens, " ");
            continue;
        case 'D':
            composite = "%m/%d/%y";
            break;
        case 'F':
            composite = "%Y-%m-%d";
            break;
        case 'T':
            composite = "%H:%M:%S";
            break;
        case 'R':
            composite = "%H:%M";
            break;
        case 'r':
            if (depth > 0)
                composite = locale.time_ampm.empty() ? kDefaultTimeAmPmFormat : locale.time_ampm;
            break;
        case 'x':
            if (depth > 0)
                composite = locale.date;
            break;
        case 'X':
            if (depth > 0)
                composite = locale.time;
            break;
        default:
            break;
        }
        if (composite.empty())
            tokens.push_back({TokenKind::Dropped, {}});
        else
            TokenizeStrftime(composite, locale, depth - 1, tokens);
    }
}

void TrimSpaces(Picture& pieces)
{
    if (!pieces.empty() && pieces.front().letter == 0) {
        auto& text = pieces.front().literal;
        text.erase(0, text.find_first_not_of(' '));
        if (text.empty())
            pieces.erase(pieces.begin());
    }
    if (!pieces.empty() && pieces.back().letter == 0) {
        auto& text = pieces.back().literal;
        const auto last = text.find_last_not_of(' ');
        text.erase(last == std::string::npos ? 0 : last + 1);
        if (text.empty())
            pieces.pop_back();
    }
}

// The format's pieces, without the conversions that have no picture (and without time fields
// unless `keep_time`). A removed conversion takes the separator after it, or the one before it
// when nothing follows, so that "%d.%m.%Y %Z" does not end in a space.
Picture TranslateStrftime(std::string_view format, const StrftimeFormats& locale, bool keep_time)
{
    std::vector<StrftimeToken> tokens;
    TokenizeStrftime(format, locale, kLocaleFormatDepth, tokens);
    std::vector<StrftimeToken> kept;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const TokenKind kind = tokens[i].kind;
        if (kind != TokenKind::Dropped && (keep_time || kind != TokenKind::TimeField)) {
            kept.push_back(std::move(tokens[i]));
        } else if (i + 1 < tokens.size() && tokens[i + 1].kind == TokenKind::Literal) {
            ++i;
        } else if (!kept.empty() && kept.back().kind == TokenKind::Literal) {
            kept.pop_back();
        }
    }
    Picture pieces;
    for (auto& token : kept) {
        if (token.kind == TokenKind::Literal)
            AppendLiteral(pieces, token.piece.literal);
        else
            pieces.push_back(std::move(token.piece));
    }
    TrimSpaces(pieces);
    return pieces;
}

Picture TranslateOr(std::string_view format, const StrftimeFormats& locale,
                    std::string_view fallback)
{
    Picture pieces = TranslateStrftime(format, locale, true);
    return HasField(pieces) ? pieces : SplitPicture(fallback, kPictureLetters);
}

// ---- formatting ----

void AppendNumber(std::string& text, int value, std::size_t width)
{
    const std::string digits = std::to_string(value);
    if (digits.size() < width)
        text.append(width - digits.size(), '0');
    text += digits;
}

// The first character of valid UTF-8 text.
std::string_view FirstCharacter(std::string_view text)
{
    if (text.empty())
        return text;
    const auto lead = static_cast<unsigned char>(text[0]);
    return text.substr(0, lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4);
}

template <typename WriteField>
HRESULT WritePicture(std::string_view picture, std::string_view letters, WriteField write_field,
                     std::string& text)
{
    try {
        for (const auto& piece : SplitPicture(picture, letters)) {
            if (piece.letter == 0)
                text += ToValidUtf8(piece.literal);
            else
                write_field(piece.letter, piece.count);
        }
        return S_OK;
    } catch (const std::exception&) {
        // Only memory can run out here (a huge picture).
        text.clear();
        return E_OUTOFMEMORY;
    }
}

struct LocaleDeleter {
    void operator()(locale_t locale) const { freelocale(locale); }
};
using LocaleHandle = std::unique_ptr<std::remove_pointer_t<locale_t>, LocaleDeleter>;

// LC_TIME of the named locale, its strings converted from the character set of LC_CTYPE of the
// same name (the set LC_TIME's strings are written in).
std::optional<Nls> ReadLocale(const std::string& name)
{
    const LocaleHandle locale(newlocale(LC_CTYPE_MASK | LC_TIME_MASK, name.c_str(), nullptr));
    if (!locale)
        return std::nullopt;
    const std::string codeset = nl_langinfo_l(CODESET, locale.get());
    const auto read = [&](int item) {
        const char* raw = nl_langinfo_l(static_cast<nl_item>(item), locale.get());
        const std::string_view bytes = raw ? raw : "";
        return codeset == "UTF-8" ? ToValidUtf8(bytes) : FromAnsi(bytes, codeset);
    };
    LocaleData data;
    for (int i = 0; i < 12; ++i) {
        data.month_names[i] = read(MON_1 + i);
        data.abbreviated_month_names[i] = read(ABMON_1 + i);
    }
    for (int i = 0; i < 7; ++i) {
        data.day_names[i] = read(DAY_1 + i);
        data.abbreviated_day_names[i] = read(ABDAY_1 + i);
    }
    data.am = read(AM_STR);
    data.pm = read(PM_STR);
    const StrftimeFormats formats{read(D_FMT), read(T_FMT), read(T_FMT_AMPM), read(D_T_FMT)};
    return Nls(DeriveLocalePictures(std::move(data), formats));
}

} // namespace

std::string PictureFromStrftime(std::string_view format, const StrftimeFormats& locale)
{
    return JoinPicture(TranslateStrftime(format, locale, true));
}

LocaleData DeriveLocalePictures(LocaleData names, const StrftimeFormats& formats)
{
    LocaleData data = std::move(names);
    const Picture short_date = TranslateOr(formats.date, formats, kFallbackShortDatePicture);
    Picture long_date = TranslateStrftime(formats.date_time, formats, false);
    if (!HasField(long_date))
        long_date = short_date;
    const Picture time = TranslateOr(formats.time, formats, kFallbackTimePicture);

    const Picture full_long_date = Rewrite(long_date, FullNamesAndYear);

    data.short_date_picture = JoinPicture(short_date);
    data.long_date_picture = JoinPicture(full_long_date);
    data.time_picture = JoinPicture(time);

    data.short_date_candidates =
        Candidates(data.short_date_picture,
                   {JoinPicture(Rewrite(short_date, FourDigitYear)), std::string(kIsoDatePicture)});
    data.long_date_candidates = Candidates(
        data.long_date_picture, {JoinPicture(Rewrite(full_long_date, AbbreviatedNames))});
    std::vector<std::string> times{JoinPicture(Rewrite(time, UnpaddedHour))};
    if (!data.am.empty() || !data.pm.empty()) {
        const Picture twelve_hour = TranslateStrftime("%r", formats, true);
        times.push_back(JoinPicture(twelve_hour));
        times.push_back(JoinPicture(Rewrite(twelve_hour, UnpaddedHour)));
    }
    data.time_candidates = Candidates(data.time_picture, times);
    return data;
}

Nls::Nls(LocaleData data) : data_(std::move(data))
{
    const auto clean = [](auto& names) {
        for (auto& name : names)
            name = ToValidUtf8(name);
    };
    clean(data_.month_names);
    clean(data_.abbreviated_month_names);
    clean(data_.day_names);
    clean(data_.abbreviated_day_names);
    data_.am = ToValidUtf8(data_.am);
    data_.pm = ToValidUtf8(data_.pm);
    data_.short_date_candidates = Candidates(data_.short_date_picture, data_.short_date_candidates);
    data_.long_date_candidates = Candidates(data_.long_date_picture, data_.long_date_candidates);
    data_.time_candidates = Candidates(data_.time_picture, data_.time_candidates);
}

const Nls& Nls::UserDefault()
{
    static const Nls user_default = [] {
        // "" lets glibc resolve LC_ALL, LC_TIME and LANG; the name it settles on then loads
        // LC_CTYPE as well, for the character set.
        std::string name = "C";
        if (const LocaleHandle probe{newlocale(LC_TIME_MASK, "", nullptr)})
            name = nl_langinfo_l(NL_LOCALE_NAME(LC_TIME), probe.get());
        auto nls = ReadLocale(name);
        if (!nls)
            nls = ReadLocale("C");
        return nls ? std::move(*nls) : Nls(LocaleData{});
    }();
    return user_default;
}

std::optional<Nls> Nls::FromLocaleName(const std::string& name)
{
    if (name.empty() || name.find_first_of(std::string_view("/\0", 2)) != std::string::npos)
        return std::nullopt;
    return ReadLocale(name);
}

HRESULT Nls::GetDateFormat(const CalendarTime& when, std::optional<std::string_view> picture,
                           std::string& text) const
{
    text.clear();
    // Only the date counts; the day of the week is worked out, never taken from the caller.
    const auto date = Date::FromCalendar({when.year, when.month, when.day});
    const auto day = date ? date->ToCalendar() : std::nullopt;
    if (!day)
        return E_INVALIDARG;
    const auto write_field = [&](char letter, std::size_t count) {
        switch (letter) {
        case 'd':
            if (count <= 2)
                AppendNumber(text, day->day, count);
            else
                text += (count == 3 ? data_.abbreviated_day_names
                                    : data_.day_names)[static_cast<std::size_t>(day->day_of_week)];
            break;
        case 'M':
            if (count <= 2)
                AppendNumber(text, day->month, count);
            else
                text += (count == 3 ? data_.abbreviated_month_names
                                    : data_.month_names)[static_cast<std::size_t>(day->month - 1)];
            break;
        case 'y':
            if (count <= 2)
                AppendNumber(text, day->year % 100, count);
            else
                AppendNumber(text, day->year, 4);
            break;
        default: // 'g'
            text += kEra;
            break;
        }
    };
    return WritePicture(picture.value_or(data_.short_date_picture), kDateLetters, write_field,
                        text);
}

HRESULT Nls::GetTimeFormat(const CalendarTime& when, std::optional<std::string_view> picture,
                           std::string& text) const
{
    text.clear();
    if (when.hour < 0 || when.hour > 23 || when.minute < 0 || when.minute > 59 || when.second < 0 ||
        when.second > 59)
        return E_INVALIDARG;
    const std::string& designator = when.hour < 12 ? data_.am : data_.pm;
    const auto write_field = [&](char letter, std::size_t count) {
        const std::size_t width = count >= 2 ? 2 : 1;
        switch (letter) {
        case 'h':
            AppendNumber(text, when.hour % 12 == 0 ? 12 : when.hour % 12, width);
            break;
        case 'H':
            AppendNumber(text, when.hour, width);
            break;
        case 'm':
            AppendNumber(text, when.minute, width);
            break;
        case 's':
            AppendNumber(text, when.second, width);
            break;
        default: // 't'
            text += count == 1 ? FirstCharacter(designator) : std::string_view(designator);
            break;
        }
    };
    return WritePicture(picture.value_or(data_.time_picture), kTimeLetters, write_field, text);
}

std::vector<std::string> Nls::EnumDateFormats(DateFormatKind kind) const
{
    return kind == DateFormatKind::LongDate ? data_.long_date_candidates
                                            : data_.short_date_candidates;
}

std::vector<std::string> Nls::EnumTimeFormats() const
{
    return data_.time_candidates;
}

} // namespace velk
