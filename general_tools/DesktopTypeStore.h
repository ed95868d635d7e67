// The shell's class keys of a document type, held by the desktop's own services (freedesktop.org):
// the type's key is a MIME type in a shared-mime-info package file, its icon a picture in the hicolor
// theme, its open command a desktop entry that opens the file, and the extension's key a glob that
// points the extension at the type; all under the user's data folder ($XDG_DATA_HOME), with the
// desktop's caches brought up to date by their own commands where they are installed.
#pragma once

#include "general_tools/DocumentType.h"

#include <functional>
#include <string>

namespace GT {

class CDesktopTypeStore : public IClassesRootStore {
public:
    // Writes the program's icon as a PNG file at the path given; false when it cannot.
    using IconWriter = std::function<bool(const std::string& path)>;

    // The program's icon, without which nothing is registered (no icon at any index).
    void SetIconWriter(IconWriter writer) { m_iconWriter = std::move(writer); }
    // The name the desktop shows for the program's entry (the program file's name until set).
    void SetApplicationName(const std::string& name) { m_applicationName = name; }

    // The MIME type and the file names that a program identifier is written as.
    static std::string MimeTypeOf(const std::string& id);
    std::string DataFolder() const;
    std::string FileOfKey(const std::string& key) const;

    std::string ProgramPath() override;
    bool ProgramHasIcon(int index) override;
    bool SetValue(const std::string& key, const std::string& value) override;
    bool QueryValue(const std::string& key, std::string& value) override;
    bool KeyExists(const std::string& key) override;
    bool HasSubKey(const std::string& key) override;
    void DeleteKey(const std::string& key) override;
    // Runs update-mime-database and update-desktop-database over what changed since the last call.
    void Flush() override;

private:
    bool WriteIfChanged(const std::string& path, const std::string& contents);
    void MarkChanged(const std::string& path);

    IconWriter m_iconWriter;
    std::string m_applicationName;
    bool m_mimeChanged = false;
    bool m_applicationsChanged = false;
};

// The process-wide store that GetClassesRootStore answers.
CDesktopTypeStore& GetDesktopTypeStore();

// An argument of a desktop entry's Exec key, quoted and escaped as the entry's text holds it.
std::string QuoteDesktopExecArgument(const std::string& argument);

}  // namespace GT
