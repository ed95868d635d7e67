#include "general_tools/Paths.h"

#include <algorithm>
#include <cwchar>
#include <vector>

#include "general_tools/StringFunctions.h"

namespace GT {

namespace detail {

bool IsAscii(const std::string& text) {
    return std::none_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) > 0x7F; });
}

std::string TrailByteMask(const std::string& text) {
    std::string mask(text.size(), '\0');
    // Without a byte above 0x7F no character takes two bytes in any locale's encoding.
    if (IsAscii(text)) return mask;
    std::mbstate_t state{};
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t n = std::mbrlen(text.data() + i, text.size() - i, &state);
        if (n == 0 || n == static_cast<std::size_t>(-1) || n == static_cast<std::size_t>(-2)) {
            // A zero byte or an invalid or cut sequence: one byte, and start afresh.
            state = std::mbstate_t{};
            ++i;
            continue;
        }
        for (std::size_t k = 1; k < n; ++k) mask[i + k] = 1;
        i += n;
    }
    return mask;
}

void SplitPathComponentsUnlimited(const std::string& path, std::string* drive, std::string* directory,
                                  std::string* title, std::string* extension) {
    const std::string trail = TrailByteMask(path);
    std::size_t start = 0;
    std::string driveText;
    if (path.size() >= 2 && path[1] == ':' && !trail[1]) {
        driveText = path.substr(0, 2);
        start = 2;
    }
    std::size_t nameStart = start;
    for (std::size_t i = start; i < path.size(); ++i)
        if (!trail[i] && (path[i] == '/' || path[i] == '\\')) nameStart = i + 1;
    std::size_t dot = std::string::npos;
    for (std::size_t i = nameStart; i < path.size(); ++i)
        if (!trail[i] && path[i] == '.') dot = i;
    if (drive) *drive = driveText;
    if (directory) *directory = path.substr(start, nameStart - start);
    if (title) *title = path.substr(nameStart, (dot == std::string::npos ? path.size() : dot) - nameStart);
    if (extension) *extension = dot == std::string::npos ? std::string() : path.substr(dot);
}

}  // namespace detail

namespace {

std::vector<std::string> Tokens(const std::string& text, char delimiter) {
    CStringTokenizer tokenizer(text, delimiter, false);
    std::vector<std::string> tokens;
    for (int i = 0; i < tokenizer.GetCount(); ++i) tokens.emplace_back(tokenizer.GetToken(i, ""));
    return tokens;
}

std::string Join(const std::vector<std::string>& tokens, std::size_t from, std::size_t to, const char* glue) {
    std::string text;
    for (std::size_t i = from; i < to; ++i) {
        if (i > from) text += glue;
        text += tokens[i];
    }
    return text;
}

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

bool IsValidPathName(const std::string& path) {
    const std::string trail = detail::TrailByteMask(path);
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (trail[i]) continue;
        if (path[i] == ':' && i != 1) return false;
        if (path[i] == '\\' && i >= 2 && path[i - 1] == '\\' && !trail[i - 1])
            return false;  // a pair at 0 opens a share
    }
    return true;
}

std::string ConvertPathSlashes(const std::string& path, bool toSlash) {
    const char from = toSlash ? '\\' : '/';
    const char to = toSlash ? '/' : '\\';
    std::string out = path;
    if (detail::IsAscii(path)) {
        std::replace(out.begin(), out.end(), from, to);
        return out;
    }
    const std::string trail = detail::TrailByteMask(path);
    for (std::size_t i = 0; i < out.size(); ++i)
        if (!trail[i] && out[i] == from) out[i] = to;
    return out;
}

std::string AdjustTrailingBackslash(const std::string& path, bool add) {
    if (path.empty()) return add ? "\\" : "";
    const std::string trail = detail::TrailByteMask(path);
    const bool endsWithBackslash = path.size() >= 2 && path.back() == '\\' && !trail.back();
    if (add || IsRootPathAnySlash(path)) return endsWithBackslash ? path : path + "\\";
    return endsWithBackslash ? path.substr(0, path.size() - 1) : path;
}

void SplitPath(const std::string& path, std::string* root, std::string* directory, std::string* title,
               std::string* extension) {
    const std::vector<std::string> tokens = Tokens(path, '/');
    const std::size_t n = tokens.size();
    std::size_t r = tokens[0].empty() ? 4 : 1;  // "//server/share" keeps four tokens as its root
    if (r > n) r = n;
    const std::size_t d = n - 1 > r ? n - 1 : r;
    const std::string name = d < n ? tokens[d] : std::string();
    const std::string trail = detail::TrailByteMask(name);
    std::size_t dot = std::string::npos;
    for (std::size_t i = 0; i < name.size(); ++i)
        if (!trail[i] && name[i] == '.') dot = i;
    if (root) *root = Join(tokens, 0, r, "/");
    if (directory) *directory = Join(tokens, r, d, "/");
    if (title) *title = name.substr(0, dot);
    if (extension) *extension = dot == std::string::npos ? std::string() : name.substr(dot);
}

void SplitPathComponents(const std::string& path, std::string* drive, std::string* directory, std::string* title,
                         std::string* extension) {
    std::string parts[4];
    detail::SplitPathComponentsUnlimited(path, &parts[0], &parts[1], &parts[2], &parts[3]);
    static const std::size_t kLimits[4] = {2, 255, 255, 255};
    std::string* outputs[4] = {drive, directory, title, extension};
    for (int i = 0; i < 4; ++i)
        if (outputs[i]) *outputs[i] = parts[i].substr(0, kLimits[i]);
}

bool IsRootPath(const std::string& path) {
    std::string root, directory, title, extension;
    SplitPath(path, &root, &directory, &title, &extension);
    if (root.size() < 2 || !directory.empty() || !title.empty() || !extension.empty()) return false;
    if (IsAsciiLetter(root[0]) && path.size() >= 2 && path[1] == ':') return true;
    if (root.compare(0, 2, "//") != 0) return false;
    const std::size_t next = root.find('/', 2);
    return next != std::string::npos && next > 2 && next < root.size() - 1;
}

bool IsRootPathAnySlash(const std::string& path) { return IsRootPath(ConvertPathSlashes(path, true)); }

bool IsShortcutPath(const std::string& path) {
    if (path.size() < 4) return false;
    const std::string trail = detail::TrailByteMask(path);
    return !trail[path.size() - 4] && path.compare(path.size() - 4, 4, ".lnk") == 0;
}

int Min(int a, int b) { return a < b ? a : b; }

CPathParts::CPathParts(const std::string& path, char separator_) : separator(separator_) {
    // With nothing the tokenizer treats apart, the cuts are the last separator and the name's
    // last dot: found directly, as callers ask this for thousands of paths.
    if (path.find_first_of("\"\\") == std::string::npos && separator != '"' && separator != '\\' && separator != '.') {
        const std::string::size_type cut = path.rfind(separator);
        const std::string::size_type name = cut == std::string::npos ? 0 : cut + 1;
        const std::string::size_type dot = path.rfind('.');
        directory = path.substr(0, name);
        if (dot == std::string::npos || dot < name) {
            title = path.substr(name);
        } else {
            title = path.substr(name, dot - name);
            extension = path.substr(dot);
        }
        return;
    }
    detail::CutPathByTokens(path, *this);
}

namespace detail {

void CutPathByTokens(const std::string& path, CPathParts& parts) {
    // Escaped, every separator cuts, even inside quotes.
    const std::vector<std::string> tokens = Tokens(EscapeString(path), parts.separator);
    std::string directory, title, extension;
    for (std::size_t i = 0; i + 1 < tokens.size(); ++i) directory += tokens[i] + parts.separator;
    const std::vector<std::string> pieces = Tokens(tokens.back(), '.');
    if (pieces.size() == 1) {
        title = pieces[0];
    } else {
        title = Join(pieces, 0, pieces.size() - 1, ".");
        extension = "." + pieces.back();
    }
    parts.directory = UnescapeString(directory);
    parts.title = UnescapeString(title);
    parts.extension = UnescapeString(extension);
}

}  // namespace detail

}  // namespace GT
