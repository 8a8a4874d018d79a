#include "core/date_text.h"

#include <chrono>
#include <vector>

namespace varnelo {

namespace {

using namespace std::chrono;

// The numeric kinds come last, in the order of kLetters. Hour is 'h', which counts 1-12
// when the pattern has an AM/PM token; Other is any letter run this codec does not read
// back (names, zones, fractions, odd lengths).
enum class Kind { Literal, Other, AmPm, Year, ShortYear, Month, Day, Hour, Hour24, Minute, Second };
constexpr int kKinds = static_cast<int>(Kind::Second) + 1;
constexpr char kLetters[] = {'y', 'y', 'M', 'd', 'h', 'H', 'm', 's'};

int Index(Kind k) { return static_cast<int>(k); }
bool IsNumeric(Kind k) { return k >= Kind::Year; }
char Letter(Kind k) { return kLetters[Index(k) - Index(Kind::Year)]; }

struct Token {
    Kind kind = Kind::Literal;
    int width = 0;       // digits: 1 means one or two as needed
    bool upper = false;  // AmPm: 'A' writes the texts in upper case, 'a' in lower
    std::string text{};  // Literal: its bytes; Other: the letters
};

struct Compiled {
    std::vector<Token> tokens;
    bool twelveHour = false;
    bool hasAmPm = false;
    bool readable = false;  // every text it writes reads back to the same moment
};

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

void AddLiteral(std::vector<Token>& tokens, std::string_view text) {
    if (tokens.empty() || tokens.back().kind != Kind::Literal) tokens.push_back({});
    tokens.back().text += text;
}

Token FieldToken(char letter, int run) {
    if (letter == 'y' && run == 4) return {.kind = Kind::Year, .width = 4};
    if (letter == 'y' && run == 2) return {.kind = Kind::ShortYear, .width = 2};
    // Three or more of M or d are month and day names.
    for (Kind k = Kind::Month; run <= 2 && k <= Kind::Second; k = static_cast<Kind>(Index(k) + 1)) {
        if (Letter(k) == letter) return {.kind = k, .width = run};
    }
    return {.kind = Kind::Other, .text = std::string(static_cast<std::size_t>(run), letter)};
}

// Splits a pattern the way Qt reads it: quoted text is literal ('' is a quote, an
// unclosed quote runs to the end), runs of one ASCII letter are fields.
std::vector<Token> Tokenize(std::string_view p) {
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (i < p.size()) {
        const char c = p[i];
        if (c == '\'') {
            if (i + 1 < p.size() && p[i + 1] == '\'') {
                AddLiteral(tokens, "'");
                i += 2;
                continue;
            }
            std::string quoted;
            for (++i; i < p.size(); ++i) {
                if (p[i] != '\'') {
                    quoted += p[i];
                } else if (i + 1 < p.size() && p[i + 1] == '\'') {
                    quoted += '\'';
                    ++i;
                } else {
                    ++i;
                    break;
                }
            }
            AddLiteral(tokens, quoted);
        } else if (c == 'a' || c == 'A') {
            const bool twoLetters = i + 1 < p.size() && (p[i + 1] == 'p' || p[i + 1] == 'P');
            tokens.push_back({.kind = Kind::AmPm, .upper = c == 'A'});
            i += twoLetters ? 2 : 1;
        } else if (IsAsciiLetter(c)) {
            std::size_t end = i;
            while (end < p.size() && p[end] == c) ++end;
            tokens.push_back(FieldToken(c, static_cast<int>(end - i)));
            i = end;
        } else {
            AddLiteral(tokens, p.substr(i, 1));
            ++i;
        }
    }
    return tokens;
}

bool StartsWithDigit(const Token& t) {
    return IsNumeric(t.kind) || (t.kind == Kind::Literal && !t.text.empty() && IsDigit(t.text[0]));
}

bool Readable(const std::vector<Token>& tokens) {
    int count[kKinds] = {};
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const Token& t = tokens[i];
        if (t.kind == Kind::Other || t.kind == Kind::ShortYear) return false;
        // A one-or-two-digit field directly before more digits cannot be split again.
        if (t.width == 1 && i + 1 < tokens.size() && StartsWithDigit(tokens[i + 1])) return false;
        ++count[Index(t.kind)];
    }
    const auto n = [&](Kind k) { return count[Index(k)]; };
    return n(Kind::Year) == 1 && n(Kind::Month) == 1 && n(Kind::Day) == 1 &&
           n(Kind::Hour) + n(Kind::Hour24) == 1 && n(Kind::Minute) == 1 && n(Kind::Second) <= 1 &&
           n(Kind::AmPm) <= 1;
}

bool Has(const std::vector<Token>& tokens, Kind kind) {
    for (const Token& t : tokens) {
        if (t.kind == kind) return true;
    }
    return false;
}

// Formatting and reading a long list go through the same pattern again and again.
const Compiled& CompiledFor(const std::string& pattern) {
    thread_local bool filled = false;
    thread_local std::string cachedPattern;
    thread_local Compiled cached;
    if (!filled || cachedPattern != pattern) {
        cached.tokens = Tokenize(pattern);
        cached.hasAmPm = Has(cached.tokens, Kind::AmPm);
        cached.twelveHour = cached.hasAmPm && Has(cached.tokens, Kind::Hour);
        cached.readable = Readable(cached.tokens);
        cachedPattern = pattern;
        filled = true;
    }
    return cached;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (AsciiLower(text[i]) != AsciiLower(prefix[i])) return false;
    }
    return true;
}

// Whichever text the reader meets, only one of the two may fit it.
bool AmPmDistinct(std::string_view am, std::string_view pm) {
    return !am.empty() && !pm.empty() && !IsDigit(am[0]) && !IsDigit(pm[0]) &&
           !StartsWithIgnoringCase(am, pm) && !StartsWithIgnoringCase(pm, am);
}

std::string Serialize(const std::vector<Token>& tokens) {
    std::string out;
    for (const Token& t : tokens) {
        if (IsNumeric(t.kind)) {
            out.append(static_cast<std::size_t>(t.width), Letter(t.kind));
        } else if (t.kind == Kind::AmPm) {
            out += t.upper ? "AP" : "ap";
        } else if (t.kind == Kind::Other) {
            out += t.text;
        } else {
            bool hasLetter = false;
            for (const char c : t.text) hasLetter = hasLetter || IsAsciiLetter(c);
            if (hasLetter) out += '\'';
            for (const char c : t.text) {
                if (c == '\'') out += '\'';
                out += c;
            }
            if (hasLetter) out += '\'';
        }
    }
    return out;
}

void AppendNumber(std::string& out, int value, int width) {
    if (value < 0) {
        out += '-';
        value = -value;
    }
    char digits[12];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (int pad = width - n; pad > 0; --pad) out += '0';
    while (n > 0) out += digits[--n];
}

// Reads `width` digits, or one or two when width is 1.
bool ReadNumber(std::string_view text, std::size_t& pos, int width, int& value) {
    const std::size_t most = width == 1 ? 2 : static_cast<std::size_t>(width);
    std::size_t n = 0;
    value = 0;
    while (n < most && pos + n < text.size() && IsDigit(text[pos + n])) {
        value = value * 10 + (text[pos + n] - '0');
        ++n;
    }
    if (n == 0 || (width != 1 && n != most)) return false;
    pos += n;
    return true;
}

}  // namespace

DateTextFormat MakeDateTextFormat(std::string_view localePattern, std::string amText,
                                  std::string pmText) {
    std::vector<Token> tokens = Tokenize(localePattern);
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        Token& t = tokens[i];
        if (t.kind == Kind::ShortYear) t = {.kind = Kind::Year, .width = 4};
        if (t.width == 1 && i + 1 < tokens.size() && StartsWithDigit(tokens[i + 1])) t.width = 2;
    }
    const bool usable =
        Readable(tokens) && (!Has(tokens, Kind::AmPm) || AmPmDistinct(amText, pmText));
    return {usable ? Serialize(tokens) : std::string(kFallbackDatePattern), std::move(amText),
            std::move(pmText)};
}

std::string FormatDateText(Moment m, const DateTextFormat& f) {
    const Compiled& c = CompiledFor(f.pattern);
    const auto date = floor<days>(m);
    const year_month_day ymd{date};
    const auto secondOfDay = static_cast<int>((m - date).count());
    const int hour = secondOfDay / 3600;

    int value[kKinds] = {};
    value[Index(Kind::Year)] = int{ymd.year()};
    value[Index(Kind::ShortYear)] = (int{ymd.year()} % 100 + 100) % 100;
    value[Index(Kind::Month)] = static_cast<int>(unsigned{ymd.month()});
    value[Index(Kind::Day)] = static_cast<int>(unsigned{ymd.day()});
    value[Index(Kind::Hour)] = c.twelveHour ? (hour + 11) % 12 + 1 : hour;
    value[Index(Kind::Hour24)] = hour;
    value[Index(Kind::Minute)] = secondOfDay / 60 % 60;
    value[Index(Kind::Second)] = secondOfDay % 60;

    std::string out;
    out.reserve(f.pattern.size() + 8);
    for (const Token& t : c.tokens) {
        if (IsNumeric(t.kind)) {
            AppendNumber(out, value[Index(t.kind)], t.width);
        } else if (t.kind == Kind::AmPm) {
            for (const char ch : hour < 12 ? f.amText : f.pmText)
                out += t.upper ? AsciiUpper(ch) : AsciiLower(ch);
        } else {
            out += t.text;
        }
    }
    return out;
}

std::optional<Moment> ParseDateText(std::string_view text, const DateTextFormat& f) {
    const Compiled& c = CompiledFor(f.pattern);
    if (!c.readable || (c.hasAmPm && !AmPmDistinct(f.amText, f.pmText))) return std::nullopt;

    int value[kKinds] = {};
    int pm = -1;  // -1: no AM/PM text, 0: AM, 1: PM
    std::size_t pos = 0;
    for (const Token& t : c.tokens) {
        const std::string_view rest = text.substr(pos);
        if (IsNumeric(t.kind)) {
            if (!ReadNumber(text, pos, t.width, value[Index(t.kind)])) return std::nullopt;
        } else if (t.kind == Kind::AmPm) {
            if (StartsWithIgnoringCase(rest, f.amText)) {
                pm = 0;
                pos += f.amText.size();
            } else if (StartsWithIgnoringCase(rest, f.pmText)) {
                pm = 1;
                pos += f.pmText.size();
            } else {
                return std::nullopt;
            }
        } else if (rest.starts_with(t.text)) {
            pos += t.text.size();
        } else {
            return std::nullopt;
        }
    }
    if (pos != text.size()) return std::nullopt;

    // Only one of the two hour kinds is in a readable pattern.
    int hour = value[Index(Kind::Hour)] + value[Index(Kind::Hour24)];
    if (c.twelveHour) {
        if (hour < 1 || hour > 12) return std::nullopt;
        hour = hour % 12 + (pm == 1 ? 12 : 0);
    } else if (hour > 23 || (pm != -1 && (hour >= 12) != (pm == 1))) {
        return std::nullopt;
    }
    const int minute = value[Index(Kind::Minute)];
    const int second = value[Index(Kind::Second)];
    if (minute > 59 || second > 59) return std::nullopt;
    const year_month_day ymd{year{value[Index(Kind::Year)]},
                             month{static_cast<unsigned>(value[Index(Kind::Month)])},
                             day{static_cast<unsigned>(value[Index(Kind::Day)])}};
    if (!ymd.ok()) return std::nullopt;
    return local_days{ymd} + hours{hour} + minutes{minute} + seconds{second};
}

}  // namespace varnelo
