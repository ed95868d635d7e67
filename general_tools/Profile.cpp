#include "general_tools/Profile.h"

#include "general_tools/StringFunctions.h"
#include "platform/system/IniProfileStore.h"

namespace GT {

CIniProfile& CIniProfile::GetInstance() {
    static CIniProfile profile;
    return profile;
}

void CIniProfile::SplitKey(const std::string& key, std::string& section, std::string& entry) const {
    const size_t at = key.find(m_separator);
    if (at == std::string::npos) {
        section = entry = key;
        return;
    }
    section = key.substr(0, at);
    entry = key.substr(at + 1);
}

int CIniProfile::GetInt(const std::string& key, int defaultValue) const {
    std::string section, entry;
    SplitKey(key, section, entry);
    return GetAppProfileInt(section, entry, defaultValue);
}

std::string CIniProfile::GetString(const std::string& key, const std::string& defaultValue) const {
    std::string section, entry;
    SplitKey(key, section, entry);
    return GetAppProfileString(section, entry, defaultValue);
}

void CIniProfile::WriteInt(const std::string& key, int value) {
    std::string section, entry;
    SplitKey(key, section, entry);
    WriteAppProfileInt(section, entry, value);
}

void CIniProfile::WriteString(const std::string& key, const std::string& value) {
    std::string section, entry;
    SplitKey(key, section, entry);
    WriteAppProfileString(section, entry, value);
}

IProfile& GetProfile() { return CIniProfile::GetInstance(); }

std::string GetAppProfileString(const std::string& section, const std::string& entry, const std::string& defaultValue) {
    return platform::GetProfileString(section, entry, defaultValue);
}

bool WriteAppProfileString(const std::string& section, const std::string& entry, const std::string& value) {
    return platform::WriteProfileString(section, entry, value);
}

int GetAppProfileInt(const std::string& section, const std::string& entry, int defaultValue) {
    // The default goes through the same text as a stored value, so a missing
    // value gives the default and an unparsable one 0.
    return ParseLong(GetAppProfileString(section, entry, LongToString(defaultValue, kRadixDecimal)));
}

void WriteAppProfileInt(const std::string& section, const std::string& entry, int value) {
    WriteAppProfileString(section, entry, LongToString(value, kRadixDecimal));
}

}  // namespace GT
