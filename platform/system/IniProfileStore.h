// The application's settings: sections of named text values in one INI file.
// Every value reads back exactly as it was written; every write replaces the
// file atomically, so a crash never leaves half a settings file behind.
#pragma once

#include <string>

namespace platform {

// One INI file. Section and entry names match without regard to ASCII case
// (as the settings did on the program's original platform) and keep the
// spelling of their first write. The file is read on every call, so edits by
// hand or by another tool are seen at once.
class CIniStore {
public:
    explicit CIniStore(std::string path);

    const std::string& GetPath() const { return m_path; }
    void SetPath(std::string path) { m_path = std::move(path); }

    // The stored text, or the default when the file, section or entry is missing.
    std::string GetString(const std::string& section, const std::string& entry, const std::string& defaultValue) const;
    // False when the value cannot be stored: a name that the file format cannot
    // hold (line breaks; '=' or a leading '[' in an entry), a settings file
    // that exists but cannot be read (writing would lose its values), or a
    // failure to write the folder or the file.
    bool WriteString(const std::string& section, const std::string& entry, const std::string& value);

    // The stored text as a number (leading blanks, '-', "0x" hexadecimal and
    // leading-zero octal accepted, trailing text ignored); the default when the
    // value is missing, does not start with a number or leaves the int range.
    int GetInt(const std::string& section, const std::string& entry, int defaultValue) const;
    // Stores the value as decimal text.
    bool WriteInt(const std::string& section, const std::string& entry, int value);

private:
    std::string m_path;
};

// $XDG_CONFIG_HOME (when set to an absolute path), else ~/.config.
std::string ConfigHome();
// ConfigHome()/maker/program.ini
std::string ProfilePathFor(const std::string& maker, const std::string& program);

// The running program's profile, "Corvane/Gigbox Setlister.ini" in ConfigHome(),
// fixed on first use; SetPath points it elsewhere (tests use a temporary folder).
CIniStore& GetAppProfile();

// The framework-style calls over GetAppProfile().
std::string GetProfileString(const std::string& section, const std::string& entry, const std::string& defaultValue);
bool WriteProfileString(const std::string& section, const std::string& entry, const std::string& value);
int GetProfileInt(const std::string& section, const std::string& entry, int defaultValue);
bool WriteProfileInt(const std::string& section, const std::string& entry, int value);

}  // namespace platform
