// Character-set conversion between byte texts and UTF-16, over iconv.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace platform {

// Called at an input sequence that the character set does not hold (or that
// the input ends inside): appends what stands for it to `out` and answers how
// many input bytes it covers (at least 1, at most `available`).
using DecodeFallback = std::function<size_t(const char* at, size_t available, std::u16string& out)>;

// Decodes `bytes` from `charset` (an iconv name) into UTF-16. Without a
// fallback the first invalid sequence fails the whole conversion. False when
// iconv does not know the character set; `out` is then empty.
bool DecodeText(const std::string& charset, const std::string& bytes, std::u16string& out,
                const DecodeFallback& fallback = nullptr);

// Encodes UTF-16 into `charset`. A character that the set cannot hold, or a
// lone surrogate, becomes `replacement` (bytes appended as they are); without
// a replacement it fails the conversion. False as DecodeText.
bool EncodeText(const std::string& charset, const std::u16string& text, std::string& out,
                const std::string* replacement = nullptr);

// The character set of the calling thread's locale (LC_CTYPE), as iconv names
// it: "UTF-8" on current systems, "ANSI_X3.4-1968" in the "C" locale.
std::string ThreadCharset();

// The user's language as the program's language string reads it: "Japanese"
// when the first entry of LANGUAGE (a ":"-separated list), else the first of
// LC_ALL, LC_MESSAGES and LANG that is set and not empty, begins with "ja",
// otherwise "English".
std::string UserLanguage();

}  // namespace platform
