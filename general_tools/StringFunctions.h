#pragma once

// Free functions over byte texts: bounded printf-style formatting, case mapping, trimming and
// cutting, replacing and escaping, number parsing and printing, and an in-place tokenizer.

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace GT {

// Longest text that formatting produces; longer output is cut to its first this-many characters.
constexpr std::size_t kMaxFormattedLength = 509;

std::string FormatStringV(const char* format, va_list args) __attribute__((format(printf, 1, 0)));
std::string FormatString(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Byte by byte through the C library's toupper/tolower in the current locale.
std::string ToUpper(const std::string& text);
std::string ToLower(const std::string& text);

// Without leading and trailing space, tab and line feed (a carriage return stays).
std::string Trim(const std::string& text);
// Writes the trimmed text into result; true when it is not empty.
bool Trim(const std::string& text, std::string& result);

// Characters from position to position + count, both clamped to the text; a negative count
// takes everything from the start to the end of the text.
std::string Mid(const std::string& text, int position, int count);
std::string Left(const std::string& text, int count);
std::string Right(const std::string& text, int count);

std::string RemoveTrailingChar(const std::string& text, char character);

// Replaces left to right; an inserted replacement is never searched again. An empty search
// text replaces nothing.
std::string ReplaceAll(const std::string& text, const std::string& search, const std::string& replacement);
// Writes the result into result; true when anything was replaced.
bool ReplaceAll(const std::string& text, const std::string& search, const std::string& replacement,
                std::string& result);

// '"' becomes '\"' and '\' becomes '\\'.
std::string EscapeString(const std::string& text);
// The reverse: '\"' gives '"', '\\' gives '\'; any other character is copied as it is.
std::string UnescapeString(const std::string& text);
// Strips one pair of surrounding double quotes; with unescape set the result is also unescaped.
std::string Unquote(const std::string& text, bool unescape);
std::string Unquote(const char* text, bool unescape);  // null gives the empty text

// Number parsing: white space, an optional '-', then the number; trailing characters are
// ignored. Outputs are written only on success; null texts fail.
// Integers read as scanf's "%i" does: decimal, "0x" hexadecimal, leading-zero octal.
// Hexadecimal and octal up to 0xFFFFFFFF are 32-bit two's complement; other numbers outside
// the int range fail.
bool TryParseInt(const char* text, int* value = nullptr);
bool TryParseInt(const char* text, int& value);
bool TryParseInt(const std::string& text, int* value = nullptr);
bool TryParseInt(const std::string& text, int& value);
int ParseInt(const char* text);
int ParseInt(const std::string& text);

// The 32-bit "long" forms.
bool TryParseLong(const char* text, std::int32_t* value = nullptr);
bool TryParseLong(const char* text, std::int32_t& value);
std::int32_t ParseLong(const char* text);
std::int32_t ParseLong(const std::string& text);

// Decimal ("%lf"), or after "0x" hexadecimal: an integer (a signed 32-bit number) or the
// fixed-point form "0x<integer>.<up to 7 digits>" whose fraction unit is 2^-28.
bool TryParseDouble(const char* text, double* value = nullptr);
bool TryParseDouble(const char* text, double& value);
bool TryParseDouble(const std::string& text, double* value = nullptr);
bool TryParseDouble(const std::string& text, double& value);
double ParseDouble(const char* text);
double ParseDouble(const std::string& text);

// Radix kinds for number printing; any other kind prints the empty text.
constexpr int kRadixDecimal = 0;
constexpr int kRadixHex = 1;        // 32-bit two's complement
constexpr int kRadixSignedHex = 2;  // '-' before the magnitude

// Flags of DoubleToString.
constexpr int kDoubleTrimZeros = 1;         // drop trailing '0's, and the '.' they reach
constexpr int kDoubleIntegralNoDigits = 2;  // an integral value prints without fraction digits
constexpr int kDoubleKeepOneDigit = 4;      // ... but one '0' stays after the '.'

std::string IntToString(int value, int kind);
std::string LongToString(std::int32_t value, int kind);
// Kind 0 "%.*lf"; kinds 1 and 2 hexadecimal, with a precision above 0 the fixed-point form
// "0x<integer>.<7 digits>" cut to precision digits. Values of 2^32 or more print their low 32
// integer bits; NaN and infinities print the empty text in the hexadecimal kinds.
std::string DoubleToString(double value, int kind, int precision, int flags);

// Splits a private copy of a text in place. Tokens are pointers into the copy and live until
// the next Split, Clear or the tokenizer's end. Double-quoted parts and backslash-escaped
// quotes never split; quotes and backslashes stay in the tokens.
class CStringTokenizer {
public:
    // Selects the list of delimiter texts instead of one delimiter character.
    static constexpr char kDelimiterList = static_cast<char>(255);

    CStringTokenizer() = default;
    CStringTokenizer(const std::string& text, char delimiter, bool merge);
    CStringTokenizer(const char* text, char delimiter, bool merge);
    CStringTokenizer(const CStringTokenizer&) = delete;
    CStringTokenizer& operator=(const CStringTokenizer&) = delete;
    CStringTokenizer(CStringTokenizer&&) = default;
    CStringTokenizer& operator=(CStringTokenizer&&) = default;
    ~CStringTokenizer() = default;

    // Stores the delimiter and the merge flag (consecutive delimiters make one) and empties the
    // list of delimiter texts.
    void SetDelimiter(char delimiter, bool merge);
    // Splits at any of the texts, the first listed winning where several match.
    void SetDelimiters(std::vector<std::string> delimiters, bool merge);

    void Split(const std::string& text);
    void Split(const char* text);  // null splits the empty text

    // Length of the delimiter that matches at a position of the copy, 0 for none.
    std::size_t MatchDelimiter(std::size_t position) const;

    int GetCount() const { return static_cast<int>(m_tokens.size()); }
    const char* GetToken(int index, const char* defaultToken) const;
    const char* GetToken(int index) const { return GetToken(index, nullptr); }

    void Clear();

private:
    std::unique_ptr<char[]> m_copy;
    std::size_t m_length = 0;
    std::vector<const char*> m_tokens;
    char m_delimiter = ',';
    std::vector<std::string> m_delimiters;
    bool m_merge = false;
};

}  // namespace GT
