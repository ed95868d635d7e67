// The program's settings by key "Section/Entry", over the application profile.
// Integers are stored as decimal text.
#pragma once

#include <string>

namespace GT {

class IProfile {
public:
    virtual ~IProfile() = default;
    // The default when the value is missing; 0 when the stored text does not
    // start with a number ("0x" hexadecimal and leading-zero octal accepted).
    virtual int GetInt(const std::string& key, int defaultValue) const = 0;
    virtual std::string GetString(const std::string& key, const std::string& defaultValue) const = 0;
    // A failed write is not reported.
    virtual void WriteInt(const std::string& key, int value) = 0;
    virtual void WriteString(const std::string& key, const std::string& value) = 0;
};

class CIniProfile : public IProfile {
public:
    static CIniProfile& GetInstance();

    CIniProfile() = default;

    // Split at the first '/': "a/b/c" is section "a", entry "b/c". A key
    // without '/' is both the section and the entry.
    void SplitKey(const std::string& key, std::string& section, std::string& entry) const;

    int GetInt(const std::string& key, int defaultValue) const override;
    std::string GetString(const std::string& key, const std::string& defaultValue) const override;
    void WriteInt(const std::string& key, int value) override;
    void WriteString(const std::string& key, const std::string& value) override;

private:
    char m_separator = '/';
};

// The process-wide profile (CIniProfile::GetInstance()).
IProfile& GetProfile();

// The application profile by section and entry, as the UI library calls it
// directly. A missing value reads as the default.
std::string GetAppProfileString(const std::string& section, const std::string& entry, const std::string& defaultValue);
bool WriteAppProfileString(const std::string& section, const std::string& entry, const std::string& value);
// Stored as decimal text; read as GetInt above.
int GetAppProfileInt(const std::string& section, const std::string& entry, int defaultValue);
void WriteAppProfileInt(const std::string& section, const std::string& entry, int value);

}  // namespace GT
