#include "general_tools/StringFunctions.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace GT {

std::string FormatStringV(const char* format, va_list args) {
    if (format == nullptr) return std::string();
    char buffer[512];
    // vsnprintf reports the length it needed, not what it wrote: the cut is ours.
    const int needed = std::vsnprintf(buffer, kMaxFormattedLength + 1, format, args);
    if (needed < 0) return std::string();
    const std::size_t length = std::min(static_cast<std::size_t>(needed), kMaxFormattedLength);
    return std::string(buffer, length);
}

std::string FormatString(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = FormatStringV(format, args);
    va_end(args);
    return text;
}

std::string ToUpper(const std::string& text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::string ToLower(const std::string& text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string Trim(const std::string& text) {
    static const char kBlanks[] = " \t\n";
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string::npos) return std::string();
    const std::size_t last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

bool Trim(const std::string& text, std::string& result) {
    result = Trim(text);
    return !result.empty();
}

std::string Mid(const std::string& text, int position, int count) {
    const auto n = static_cast<std::int64_t>(text.size());
    const auto clamp = [n](std::int64_t v) { return v < 0 ? 0 : (v > n ? n : v); };
    const std::int64_t start = clamp(position);
    std::int64_t end = clamp(static_cast<std::int64_t>(position) + count);
    if (end < start) end = n;
    return text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
}

std::string Left(const std::string& text, int count) { return Mid(text, 0, count); }

std::string Right(const std::string& text, int count) {
    const std::int64_t position = static_cast<std::int64_t>(text.size()) - count;
    // Positions beyond the int range clamp to the text anyway.
    const int p = static_cast<int>(std::max<std::int64_t>(
        std::min<std::int64_t>(position, std::numeric_limits<int>::max()), std::numeric_limits<int>::min()));
    return Mid(text, p, count);
}

std::string RemoveTrailingChar(const std::string& text, char character) {
    if (!text.empty() && text.back() == character) return text.substr(0, text.size() - 1);
    return text;
}

bool ReplaceAll(const std::string& text, const std::string& search, const std::string& replacement,
                std::string& result) {
    result = text;
    if (search.empty()) return false;
    bool replaced = false;
    std::size_t pos = 0;
    while ((pos = result.find(search, pos)) != std::string::npos) {
        result.replace(pos, search.size(), replacement);
        pos += replacement.size();
        replaced = true;
    }
    return replaced;
}

std::string ReplaceAll(const std::string& text, const std::string& search, const std::string& replacement) {
    std::string result;
    ReplaceAll(text, search, replacement, result);
    return result;
}

std::string EscapeString(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out;
}

std::string UnescapeString(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == '"' || text[i + 1] == '\\')) ++i;
        out += text[i];
    }
    return out;
}

std::string Unquote(const std::string& text, bool unescape) {
    std::string out = text;
    if (out.size() >= 2 && out.front() == '"' && out.back() == '"') out = out.substr(1, out.size() - 2);
    return unescape ? UnescapeString(out) : out;
}

std::string Unquote(const char* text, bool unescape) {
    return text ? Unquote(std::string(text), unescape) : std::string();
}

namespace {

const char* SkipSpace(const char* p) {
    while (*p != '\0' && std::isspace(static_cast<unsigned char>(*p))) ++p;
    return p;
}

// The "%i" conversion into a 32-bit int, with the caller's sign applied to what it read.
bool ParseInt32(const char* text, std::int32_t& value) {
    if (text == nullptr) return false;
    const char* p = SkipSpace(text);
    const bool negative = *p == '-';
    if (negative) ++p;
    // Find the digits as strtoll will, to tell hexadecimal and octal from decimal.
    const char* digits = SkipSpace(p);
    if (*digits == '+' || *digits == '-') ++digits;
    const bool radixPrefixed = digits[0] == '0' && digits[1] != '\0';
    errno = 0;
    char* end = nullptr;
    const long long read = std::strtoll(p, &end, 0);
    if (end == p || errno == ERANGE || read == std::numeric_limits<long long>::min()) return false;
    const long long signedValue = negative ? -read : read;
    if (signedValue >= std::numeric_limits<std::int32_t>::min()
        && signedValue <= std::numeric_limits<std::int32_t>::max()) {
        value = static_cast<std::int32_t>(signedValue);
        return true;
    }
    if (radixPrefixed && read >= 0 && read <= 0xFFFFFFFFLL) {
        // "0xFFFFFFFF" is -1, as printing a negative int in hexadecimal gives it.
        std::uint32_t bits = static_cast<std::uint32_t>(read);
        if (negative) bits = 0u - bits;
        value = static_cast<std::int32_t>(bits);
        return true;
    }
    return false;
}

// The "%lx" conversion of a whole buffer, kept to 32 bits.
bool ParseHex32(const char* text, std::uint32_t& value) {
    errno = 0;
    char* end = nullptr;
    const unsigned long long read = std::strtoull(text, &end, 16);
    if (end == text || errno == ERANGE || read > 0xFFFFFFFFull) return false;
    value = static_cast<std::uint32_t>(read);
    return true;
}

constexpr double kFractionUnit = 268435456.0;  // 2^28: one unit of the 7th hexadecimal digit

bool ParseDoubleValue(const char* text, double& value) {
    if (text == nullptr) return false;
    const char* p = SkipSpace(text);
    const double sign = *p == '-' ? -1.0 : 1.0;
    if (*p == '-') ++p;
    double result;
    if (!(p[0] == '0' && (p[1] == 'x' || p[1] == 'X'))) {
        char* end = nullptr;
        result = std::strtod(p, &end);
        if (end == p) return false;
    } else {
        const char* rest = p + 2;
        const char* dot = std::strchr(rest, '.');
        std::uint32_t integer = 0;
        if (dot != nullptr) {
            const std::size_t integerLength = static_cast<std::size_t>(dot - rest);
            char buffer[128];
            if (integerLength >= sizeof buffer) return false;
            std::memcpy(buffer, rest, integerLength);
            buffer[integerLength] = '\0';
            if (!ParseHex32(buffer, integer)) return false;
            char fractionText[8] = "0000000";
            for (std::size_t i = 0; i < 7 && dot[1 + i] != '\0'; ++i) fractionText[i] = dot[1 + i];
            std::uint32_t fraction = 0;
            if (!ParseHex32(fractionText, fraction) || fraction > 0xFFFFFFFu) return false;
            result = static_cast<double>(static_cast<std::int32_t>(integer)) + fraction / kFractionUnit;
        } else {
            if (!ParseHex32(rest, integer)) return false;
            result = static_cast<double>(static_cast<std::int32_t>(integer));
        }
    }
    value = result * sign;
    return true;
}

template <typename T, typename Out>
bool Store(bool ok, const T& parsed, Out* out) {
    if (ok && out != nullptr) *out = parsed;
    return ok;
}

}  // namespace

bool TryParseInt(const char* text, int* value) {
    std::int32_t v = 0;
    return Store(ParseInt32(text, v), v, value);
}

bool TryParseInt(const char* text, int& value) { return TryParseInt(text, &value); }

bool TryParseInt(const std::string& text, int* value) { return TryParseInt(text.c_str(), value); }

bool TryParseInt(const std::string& text, int& value) { return TryParseInt(text.c_str(), &value); }

int ParseInt(const char* text) {
    int v = 0;
    return TryParseInt(text, &v) ? v : 0;
}

int ParseInt(const std::string& text) { return ParseInt(text.c_str()); }

bool TryParseLong(const char* text, std::int32_t* value) {
    std::int32_t v = 0;
    return Store(ParseInt32(text, v), v, value);
}

bool TryParseLong(const char* text, std::int32_t& value) { return TryParseLong(text, &value); }

std::int32_t ParseLong(const char* text) {
    std::int32_t v = 0;
    return TryParseLong(text, &v) ? v : 0;
}

std::int32_t ParseLong(const std::string& text) { return ParseLong(text.c_str()); }

bool TryParseDouble(const char* text, double* value) {
    double v = 0.0;
    return Store(ParseDoubleValue(text, v), v, value);
}

bool TryParseDouble(const char* text, double& value) { return TryParseDouble(text, &value); }

bool TryParseDouble(const std::string& text, double* value) { return TryParseDouble(text.c_str(), value); }

bool TryParseDouble(const std::string& text, double& value) { return TryParseDouble(text.c_str(), &value); }

double ParseDouble(const char* text) {
    double v = 0.0;
    return TryParseDouble(text, &v) ? v : 0.0;
}

double ParseDouble(const std::string& text) { return ParseDouble(text.c_str()); }

std::string IntToString(int value, int kind) {
    const auto bits = static_cast<unsigned>(value);
    switch (kind) {
        case kRadixDecimal:
            return FormatString("%d", value);
        case kRadixHex:
            return FormatString("0x%X", bits);
        case kRadixSignedHex:
            return value < 0 ? FormatString("-0x%X", 0u - bits) : FormatString("0x%X", bits);
        default:
            return std::string();
    }
}

std::string LongToString(std::int32_t value, int kind) { return IntToString(static_cast<int>(value), kind); }

namespace {

// The low 32 bits of the integer part of a finite, non-negative value, without an
// out-of-range cast.
std::uint32_t Low32(double magnitude) {
    return static_cast<std::uint32_t>(std::fmod(std::trunc(magnitude), 4294967296.0));
}

std::string HexOfDouble(double value, int precision) {
    if (!std::isfinite(value)) return std::string();
    const bool negative = value < 0.0;
    const double magnitude = std::fabs(value);
    const char* sign = negative ? "-" : "";
    if (precision <= 0) return FormatString("%s0x%X", sign, Low32(magnitude));
    double integer = 0.0;
    const double fraction = std::modf(magnitude, &integer);
    const auto fractionDigits = static_cast<std::uint32_t>(fraction * kFractionUnit);
    std::string text = FormatString("%s0x%X.%0*X", sign, Low32(integer), 7, fractionDigits);
    if (precision < 7) text.resize(text.size() - static_cast<std::size_t>(7 - precision));
    return text;
}

}  // namespace

std::string DoubleToString(double value, int kind, int precision, int flags) {
    if (precision > 0 && (flags & kDoubleIntegralNoDigits) != 0 && std::isfinite(value) && value == std::trunc(value))
        precision = (flags & kDoubleKeepOneDigit) != 0 ? 1 : 0;

    std::string text;
    switch (kind) {
        case kRadixDecimal:
            text = FormatString("%.*f", precision, value);
            break;
        case kRadixHex:
            text = HexOfDouble(value < 0.0 ? value + 4294967296.0 : value, precision);
            break;
        case kRadixSignedHex:
            text = HexOfDouble(value, precision);
            break;
        default:
            return std::string();
    }

    if (precision > 0 && (flags & kDoubleTrimZeros) != 0) {
        const std::size_t dot = text.find('.');
        if (dot != std::string::npos) {
            std::size_t end = text.size();
            while (end > dot + 1 && text[end - 1] == '0') --end;
            if (end == dot + 1) end = (flags & kDoubleKeepOneDigit) != 0 ? std::min(dot + 2, text.size()) : dot;
            text.resize(end);
        }
    }
    return text;
}

CStringTokenizer::CStringTokenizer(const std::string& text, char delimiter, bool merge) {
    SetDelimiter(delimiter, merge);
    Split(text);
}

CStringTokenizer::CStringTokenizer(const char* text, char delimiter, bool merge) {
    SetDelimiter(delimiter, merge);
    Split(text);
}

void CStringTokenizer::SetDelimiter(char delimiter, bool merge) {
    m_delimiter = delimiter;
    m_merge = merge;
    m_delimiters.clear();
}

void CStringTokenizer::SetDelimiters(std::vector<std::string> delimiters, bool merge) {
    m_delimiter = kDelimiterList;
    m_merge = merge;
    m_delimiters = std::move(delimiters);
}

void CStringTokenizer::Split(const char* text) { Split(std::string(text ? text : "")); }

void CStringTokenizer::Split(const std::string& text) {
    m_length = text.size();
    m_copy.reset(new char[m_length + 1]);
    std::memcpy(m_copy.get(), text.c_str(), m_length + 1);
    m_tokens.clear();
    char* const copy = m_copy.get();
    m_tokens.push_back(copy);

    const auto escapes = [&](std::size_t i) {
        return copy[i] == '\\' && i + 1 < m_length && (copy[i + 1] == '"' || copy[i + 1] == '\\');
    };
    std::size_t p = 0;
    while (p < m_length) {
        if (copy[p] == '"') {
            // Past the closing quote; an escaped quote inside does not close.
            ++p;
            while (p < m_length && copy[p] != '"') p += escapes(p) ? 2 : 1;
            if (p < m_length) ++p;
        } else if (escapes(p)) {
            ++p;
        }
        std::size_t m = MatchDelimiter(p);
        if (m == 0) {
            ++p;
            continue;
        }
        copy[p] = '\0';
        p += m;
        if (m_merge)
            while (p < m_length && (m = MatchDelimiter(p)) != 0) p += m;
        m_tokens.push_back(copy + p);
    }
}

std::size_t CStringTokenizer::MatchDelimiter(std::size_t position) const {
    if (!m_copy || position >= m_length) return 0;
    const char* at = m_copy.get() + position;
    if (m_delimiter != kDelimiterList) return *at == m_delimiter ? 1 : 0;
    for (const std::string& d : m_delimiters) {
        if (!d.empty() && d.size() <= m_length - position && std::memcmp(at, d.data(), d.size()) == 0) return d.size();
    }
    return 0;
}

const char* CStringTokenizer::GetToken(int index, const char* defaultToken) const {
    if (index < 0 || index >= GetCount()) return defaultToken;
    return m_tokens[static_cast<std::size_t>(index)];
}

void CStringTokenizer::Clear() {
    m_copy.reset();
    m_length = 0;
    m_tokens.clear();
    m_delimiters.clear();
}

}  // namespace GT
