// Path texts: tests, separator forms, splitting. Paths are byte texts in the
// locale's multibyte character set; a trail byte of a multibyte character is never
// taken for a separator, colon or backslash.
#pragma once

#include <string>

namespace GT {

// False when a ':' stands anywhere but at index 1, or two backslashes stand
// together anywhere but at index 0.
bool IsValidPathName(const std::string& path);

// Every "\" to "/" (toSlash) or every "/" to "\".
std::string ConvertPathSlashes(const std::string& path, bool toSlash);

// For backslash-form paths: adds one trailing "\" (add, or a root), else removes one.
std::string AdjustTrailingBackslash(const std::string& path, bool add);

// Splits a "/"-form path into root, directory (no leading or trailing "/"), title and
// extension (from the last "."). Null outputs are skipped.
void SplitPath(const std::string& path, std::string* root, std::string* directory, std::string* title,
               std::string* extension);

// The runtime library's splitter: drive ("C:"), directory with its separators, file
// title and extension with its "."; both separators count. Parts are cut to 2, 255,
// 255 and 255 bytes.
void SplitPathComponents(const std::string& path, std::string* drive, std::string* directory, std::string* title,
                         std::string* extension);

// A drive root (C:, C:/) or a share root (//server/share), "/" form.
bool IsRootPath(const std::string& path);
// The same for either separator.
bool IsRootPathAnySlash(const std::string& path);

// At least 4 bytes, ending in ".lnk" exactly.
bool IsShortcutPath(const std::string& path);

int Min(int a, int b);

// A path cut at a separator: directory (ending with it unless empty), title, and
// extension (from the last "." on).
class CPathParts {
public:
    CPathParts(const std::string& path, char separator);

    std::string directory;
    std::string title;
    std::string extension;
    char separator;
};

namespace detail {
// CPathParts through the tokenizer, the way every path can take.
void CutPathByTokens(const std::string& path, CPathParts& parts);
// No byte above 0x7F: no multibyte character, whatever the locale.
bool IsAscii(const std::string& text);
// One flag per byte: true for a trail byte of a multibyte character (LC_CTYPE).
std::string TrailByteMask(const std::string& text);
// SplitPathComponents without the part limits.
void SplitPathComponentsUnlimited(const std::string& path, std::string* drive, std::string* directory,
                                  std::string* title, std::string* extension);
}  // namespace detail

}  // namespace GT
