// Conversion between UTF-8, UTF-16 and the ANSI code page (the character set of
// the calling thread's locale). Invalid input never fails a conversion: invalid
// UTF-8 reads as U+FFFD, a lone surrogate writes as U+FFFD in UTF-8 and as "?"
// in the ANSI code page, like any character that code page cannot hold.
#pragma once

#include <cstdint>
#include <string>

namespace GT {

// Code pages as the library names them.
constexpr uint32_t kCodePageAcp = 0;        // the ANSI code page
constexpr uint32_t kCodePageThreadAcp = 3;  // the calling thread's ANSI code page (the same here)
constexpr uint32_t kCodePageUtf8 = 65001;
// Any other number n is the character set "CPn" (932, 1252, ...).

class ICharacterCodeConverter {
public:
    virtual ~ICharacterCodeConverter() = default;
    virtual std::u16string FromUtf8(const std::string& text) const = 0;
    virtual std::string ToUtf8(const std::u16string& text) const = 0;
    virtual std::string ToAnsi(const std::u16string& text) const = 0;
    // ANSI bytes that are not valid in the thread's character set are read as
    // Windows-1252 (CP932 when the user's language is Japanese), so no text is lost.
    virtual std::u16string FromAnsi(const std::string& text) const = 0;
};

class CCharacterCodeConverter : public ICharacterCodeConverter {
public:
    std::u16string FromUtf8(const std::string& text) const override;
    std::string ToUtf8(const std::u16string& text) const override;
    std::string ToAnsi(const std::u16string& text) const override;
    std::u16string FromAnsi(const std::string& text) const override;
};

ICharacterCodeConverter& GetCharacterCodeConverter();

// The empty text when the code page is unknown.
std::u16string MultiByteToWide(uint32_t codePage, const std::string& text);
std::string WideToMultiByte(uint32_t codePage, const std::u16string& text);

}  // namespace GT
