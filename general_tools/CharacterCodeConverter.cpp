#include "general_tools/CharacterCodeConverter.h"

#include "platform/system/TextEncoding.h"

namespace GT {
namespace {

const char16_t kReplacementCharacter = 0xFFFD;

bool IsAnsi(uint32_t codePage) { return codePage == kCodePageAcp || codePage == kCodePageThreadAcp; }

std::string CharsetOf(uint32_t codePage) {
    if (IsAnsi(codePage)) return platform::ThreadCharset();
    if (codePage == kCodePageUtf8) return "UTF-8";
    return "CP" + std::to_string(codePage);
}

// Length of the ill-formed UTF-8 sequence at p: the longest start of a
// well-formed sequence, at least one byte (the "maximal subpart" rule that
// other decoders follow, so one bad sequence gives one U+FFFD).
size_t InvalidUtf8Length(const char* at, size_t available) {
    const auto* p = reinterpret_cast<const unsigned char*>(at);
    unsigned char b = p[0];
    size_t need = 0;
    unsigned char lo = 0x80, hi = 0xBF;
    if (b >= 0xC2 && b <= 0xDF)
        need = 1;
    else if (b == 0xE0)
        need = 2, lo = 0xA0;
    else if (b == 0xED)
        need = 2, hi = 0x9F;
    else if (b >= 0xE1 && b <= 0xEF)
        need = 2;
    else if (b == 0xF0)
        need = 3, lo = 0x90;
    else if (b == 0xF4)
        need = 3, hi = 0x8F;
    else if (b >= 0xF1 && b <= 0xF3)
        need = 3;
    size_t length = 1;
    while (length <= need && length < available && p[length] >= lo && p[length] <= hi) {
        lo = 0x80, hi = 0xBF;
        ++length;
    }
    return length;
}

size_t ReplaceUtf8(const char* at, size_t available, std::u16string& out) {
    out += kReplacementCharacter;
    return InvalidUtf8Length(at, available);
}

// Windows-1252 leaves five bytes undefined; they read as the control characters
// of the same number, as web browsers read them.
size_t ByteAsLatin1(const char* at, size_t, std::u16string& out) {
    out += static_cast<char16_t>(static_cast<unsigned char>(*at));
    return 1;
}

size_t ReplaceByte(const char*, size_t, std::u16string& out) {
    out += kReplacementCharacter;
    return 1;
}

std::u16string DecodeAnsi(const std::string& text) {
    std::u16string out;
    if (platform::DecodeText(platform::ThreadCharset(), text, out)) return out;
    // Bytes from files made elsewhere: whole-text fallback, since a multi-byte
    // set cannot be resynchronised inside a bad stretch.
    const bool japanese = platform::UserLanguage() == "Japanese";
    const std::string fallback = japanese ? "CP932" : "CP1252";
    if (platform::DecodeText(fallback, text, out)) return out;
    platform::DecodeText(fallback, text, out, japanese ? ReplaceByte : ByteAsLatin1);
    return out;
}

}  // namespace

std::u16string MultiByteToWide(uint32_t codePage, const std::string& text) {
    if (text.empty()) return std::u16string();
    if (IsAnsi(codePage)) return DecodeAnsi(text);
    std::u16string out;
    platform::DecodeText(CharsetOf(codePage), text, out, codePage == kCodePageUtf8 ? ReplaceUtf8 : ReplaceByte);
    return out;
}

std::string WideToMultiByte(uint32_t codePage, const std::u16string& text) {
    if (text.empty()) return std::string();
    static const std::string kUtf8Replacement = "\xEF\xBF\xBD";
    static const std::string kDefaultCharacter = "?";
    std::string out;
    platform::EncodeText(CharsetOf(codePage), text, out,
                         codePage == kCodePageUtf8 ? &kUtf8Replacement : &kDefaultCharacter);
    return out;
}

std::u16string CCharacterCodeConverter::FromUtf8(const std::string& text) const {
    return MultiByteToWide(kCodePageUtf8, text);
}

std::string CCharacterCodeConverter::ToUtf8(const std::u16string& text) const {
    return WideToMultiByte(kCodePageUtf8, text);
}

std::string CCharacterCodeConverter::ToAnsi(const std::u16string& text) const {
    return WideToMultiByte(kCodePageThreadAcp, text);
}

std::u16string CCharacterCodeConverter::FromAnsi(const std::string& text) const {
    return MultiByteToWide(kCodePageThreadAcp, text);
}

ICharacterCodeConverter& GetCharacterCodeConverter() {
    static CCharacterCodeConverter converter;
    return converter;
}

}  // namespace GT
