#include "platform/system/IniProfileStore.h"

#include "platform/system/SystemFolders.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <utility>
#include <vector>

namespace platform {
namespace {

struct Entry {
    std::string name;
    std::string value;
};

struct Section {
    std::string name;
    std::vector<Entry> entries;
};

using Sections = std::vector<Section>;

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

bool HasLineBreakOrNul(const std::string& text) {
    return text.find_first_of(std::string("\n\r\0", 3)) != std::string::npos;
}

// Values that would not survive a plain "name=value" line are written in
// double quotes with backslash escapes; every other value is written as is.
bool NeedsQuoting(const std::string& value) { return HasLineBreakOrNul(value) || (!value.empty() && value[0] == '"'); }

std::string Quote(const std::string& value) {
    std::string out = "\"";
    for (char c : value) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\0':
                out += "\\0";
                break;
            default:
                out += c;
        }
    }
    return out + "\"";
}

std::string Unquote(const std::string& raw) {
    if (raw.size() < 2 || raw.front() != '"' || raw.back() != '"') return raw;
    std::string out;
    for (size_t i = 1; i + 1 < raw.size(); ++i) {
        char c = raw[i];
        if (c == '\\' && i + 2 < raw.size()) {
            char e = raw[i + 1];
            char decoded = e == 'n' ? '\n' : e == 'r' ? '\r' : e == '0' ? '\0' : e;
            if (e == 'n' || e == 'r' || e == '0' || e == '\\' || e == '"') {
                out += decoded;
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

Sections Parse(const std::string& text) {
    Sections sections;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();  // edited on another system
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line[0] == '[' && line.back() == ']' && line.size() >= 2) {
            sections.push_back({line.substr(1, line.size() - 2), {}});
            continue;
        }
        size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        if (sections.empty()) sections.push_back({std::string(), {}});
        sections.back().entries.push_back({line.substr(0, eq), Unquote(line.substr(eq + 1))});
    }
    return sections;
}

std::string Serialize(const Sections& sections) {
    std::string text;
    for (const Section& s : sections) {
        if (!text.empty()) text += '\n';
        text += '[' + s.name + "]\n";
        for (const Entry& e : s.entries)
            text += e.name + '=' + (NeedsQuoting(e.value) ? Quote(e.value) : e.value) + '\n';
    }
    return text;
}

enum class ReadState { Ok, Missing, Failed };

ReadState ReadWholeFile(const std::string& path, std::string& text) {
    text.clear();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? ReadState::Missing : ReadState::Failed;
    char buf[8192];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ::close(fd);
            return ReadState::Failed;
        }
        if (n == 0) break;
        text.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return ReadState::Ok;
}

bool MakeFolders(const std::string& folder) {
    if (folder.empty()) return true;
    struct stat st;
    if (::stat(folder.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    size_t slash = folder.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !MakeFolders(folder.substr(0, slash))) return false;
    return ::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

bool WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Temporary file in the same folder, then rename: readers see the old file or
// the new one, never a part. A settings file that is a symbolic link (kept in a
// dotfiles folder) stays a link: its target is replaced.
bool ReplaceFile(const std::string& path, const std::string& text) {
    std::string target = path;
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* real = ::realpath(path.c_str(), nullptr)) {
            target = real;
            std::free(real);
        }
    }
    mode_t mode = 0600;
    if (::stat(target.c_str(), &st) == 0) mode = st.st_mode & 07777;

    size_t slash = target.find_last_of('/');
    std::string folder = slash == std::string::npos ? "." : target.substr(0, slash);
    std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    if (!MakeFolders(folder)) return false;

    std::string pattern = folder + "/." + name + ".XXXXXX";
    std::vector<char> tmp(pattern.begin(), pattern.end());
    tmp.push_back('\0');
    int fd = ::mkstemp(tmp.data());
    if (fd < 0) return false;
    bool ok = ::fchmod(fd, mode) == 0 && WriteAll(fd, text) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(tmp.data(), target.c_str()) == 0;
    if (!ok) ::unlink(tmp.data());
    return ok;
}

bool FindValue(const Sections& sections, const std::string& section, const std::string& entry, std::string& value) {
    for (const Section& s : sections) {
        if (!SameName(s.name, section)) continue;
        for (const Entry& e : s.entries) {
            if (SameName(e.name, entry)) {
                value = e.value;
                return true;
            }
        }
    }
    return false;
}

bool ParseInt(const std::string& text, int& value) {
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    long long n = std::strtoll(begin, &end, 0);
    if (end == begin || errno == ERANGE || n < INT_MIN || n > INT_MAX) return false;
    value = static_cast<int>(n);
    return true;
}

}  // namespace

CIniStore::CIniStore(std::string path) : m_path(std::move(path)) {}

std::string CIniStore::GetString(const std::string& section, const std::string& entry,
                                 const std::string& defaultValue) const {
    std::string text;
    if (ReadWholeFile(m_path, text) != ReadState::Ok) return defaultValue;
    std::string value;
    return FindValue(Parse(text), section, entry, value) ? value : defaultValue;
}

bool CIniStore::WriteString(const std::string& section, const std::string& entry, const std::string& value) {
    if (HasLineBreakOrNul(section) || HasLineBreakOrNul(entry) || entry.find('=') != std::string::npos
        || (!entry.empty() && (entry[0] == '[' || entry[0] == ';' || entry[0] == '#')))
        return false;
    std::string text;
    if (ReadWholeFile(m_path, text) == ReadState::Failed) return false;
    Sections sections = Parse(text);

    Section* target = nullptr;
    for (Section& s : sections) {
        if (SameName(s.name, section)) {
            target = &s;
            break;
        }
    }
    if (!target) {
        sections.push_back({section, {}});
        target = &sections.back();
    }
    bool found = false;
    for (Entry& e : target->entries) {
        if (SameName(e.name, entry)) {
            e.value = value;
            found = true;
            break;
        }
    }
    if (!found) target->entries.push_back({entry, value});
    return ReplaceFile(m_path, Serialize(sections));
}

int CIniStore::GetInt(const std::string& section, const std::string& entry, int defaultValue) const {
    std::string text;
    if (ReadWholeFile(m_path, text) != ReadState::Ok) return defaultValue;
    std::string value;
    int n = 0;
    if (!FindValue(Parse(text), section, entry, value) || !ParseInt(value, n)) return defaultValue;
    return n;
}

bool CIniStore::WriteInt(const std::string& section, const std::string& entry, int value) {
    return WriteString(section, entry, std::to_string(value));
}

std::string ConfigHome() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') return xdg;
    return HomeDirectory() + "/.config";
}

std::string ProfilePathFor(const std::string& maker, const std::string& program) {
    return ConfigHome() + "/" + maker + "/" + program + ".ini";
}

CIniStore& GetAppProfile() {
    static CIniStore store(ProfilePathFor("Corvane", "Gigbox Setlister"));
    return store;
}

std::string GetProfileString(const std::string& section, const std::string& entry, const std::string& defaultValue) {
    return GetAppProfile().GetString(section, entry, defaultValue);
}

bool WriteProfileString(const std::string& section, const std::string& entry, const std::string& value) {
    return GetAppProfile().WriteString(section, entry, value);
}

int GetProfileInt(const std::string& section, const std::string& entry, int defaultValue) {
    return GetAppProfile().GetInt(section, entry, defaultValue);
}

bool WriteProfileInt(const std::string& section, const std::string& entry, int value) {
    return GetAppProfile().WriteInt(section, entry, value);
}

}  // namespace platform
