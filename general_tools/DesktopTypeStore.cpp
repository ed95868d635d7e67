#include "general_tools/DesktopTypeStore.h"

#include "general_tools/StringFunctions.h"
#include "platform/system/Process.h"
#include "platform/system/SystemFolders.h"

#include <sys/stat.h>
#include <unistd.h>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

namespace GT {

namespace {

// Where each key of a type's tree lives below the data folder (keys without a file, such as the DDE
// command, exist only as part of the tree).
constexpr const char* kPackages = "mime/packages/";
constexpr const char* kIcons = "icons/hicolor/32x32/apps/";
constexpr const char* kApplications = "applications/";
constexpr const char* kOpenCommandKey = "shell\\open\\command";
constexpr const char* kIdMarker = "<!-- program identifier: ";
// Above the default 50: the extension goes to this type even where another program's glob names it.
constexpr int kGlobWeight = 60;

std::vector<std::string> SplitKey(const std::string& key) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t slash = key.find('\\', start);
        parts.push_back(key.substr(start, slash == std::string::npos ? std::string::npos : slash - start));
        if (slash == std::string::npos) return parts;
        start = slash + 1;
    }
}

bool IsExtension(const std::string& root) { return !root.empty() && root[0] == '.'; }

bool FileExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool ReadWhole(const std::string& path, std::string& contents) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    contents.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool MakeFolders(const std::string& path) {
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') {
            const std::string folder = path.substr(0, i);
            if (::mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) return false;
        }
    }
    return true;
}

std::string Folder(const std::string& path) { return path.substr(0, path.rfind('/')); }

std::string XmlEscape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string Package(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
           + body + "</mime-info>\n";
}

// The MIME type that other programs' globs give the pattern, as the desktop's caches list them.
bool FindGlobOwner(const std::string& dataFolder, const std::string& pattern, std::string& type) {
    std::vector<std::string> folders;
    if (!dataFolder.empty()) folders.push_back(dataFolder);
    const char* dirs = std::getenv("XDG_DATA_DIRS");
    std::istringstream list(dirs != nullptr && *dirs != '\0' ? dirs : "/usr/local/share:/usr/share");
    for (std::string dir; std::getline(list, dir, ':');)
        if (!dir.empty()) folders.push_back(dir);
    for (const std::string& folder : folders) {
        std::ifstream globs(folder + "/mime/globs2");
        for (std::string line; std::getline(globs, line);) {
            if (line.empty() || line[0] == '#') continue;
            const size_t first = line.find(':');
            const size_t second = first == std::string::npos ? first : line.find(':', first + 1);
            if (second == std::string::npos) continue;
            const size_t end = line.find(':', second + 1);
            if (ToLower(line.substr(second + 1, end == std::string::npos ? end : end - second - 1)) != pattern)
                continue;
            type = line.substr(first + 1, second - first - 1);
            return true;
        }
    }
    return false;
}

}  // namespace

std::string QuoteDesktopExecArgument(const std::string& argument) {
    // The Exec key's own quoting, then the escapes of a string value and the "%" of field codes.
    std::string quoted = argument;
    if (argument.empty() || argument.find_first_of(" \t\n\"'\\><~|&;$*?#()`") != std::string::npos) {
        quoted = "\"";
        for (char c : argument) {
            if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
            quoted += c;
        }
        quoted += "\"";
    }
    std::string out;
    for (char c : quoted) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '%')
            out += "%%";
        else
            out += c;
    }
    return out;
}

std::string CDesktopTypeStore::MimeTypeOf(const std::string& id) {
    std::string type = "application/x-";
    for (char c : ToLower(id)) type += (std::isalnum(static_cast<unsigned char>(c)) || c == '.') ? c : '-';
    return type;
}

std::string CDesktopTypeStore::DataFolder() const { return platform::SpecialFolderPath(platform::kFolderAppData); }

std::string CDesktopTypeStore::FileOfKey(const std::string& key) const {
    const std::string data = DataFolder();
    if (data.empty()) return {};
    const std::vector<std::string> parts = SplitKey(key);
    const std::string& root = parts[0];
    if (root.empty()) return {};
    if (IsExtension(root)) {
        if (parts.size() != 1) return {};
        return data + "/" + kPackages + ToLower(root.substr(1)) + "-document-extension.xml";
    }
    if (parts.size() == 1) return data + "/" + kPackages + root + ".xml";
    const std::string below = key.substr(root.size() + 1);
    if (below == "DefaultIcon") return data + "/" + kIcons + root + ".png";
    if (below == kOpenCommandKey) return data + "/" + kApplications + root + ".desktop";
    return {};
}

std::string CDesktopTypeStore::ProgramPath() { return platform::ExecutablePath(); }

bool CDesktopTypeStore::ProgramHasIcon(int index) {
    // One picture serves as the program's icon (0) and the document's (1).
    return (index == 0 || index == 1) && static_cast<bool>(m_iconWriter);
}

void CDesktopTypeStore::MarkChanged(const std::string& path) {
    if (path.find("/" + std::string(kPackages)) != std::string::npos) m_mimeChanged = true;
    if (path.find("/" + std::string(kApplications)) != std::string::npos) m_applicationsChanged = true;
}

bool CDesktopTypeStore::WriteIfChanged(const std::string& path, const std::string& contents) {
    std::string current;
    if (ReadWhole(path, current) && current == contents) return true;
    if (!MakeFolders(Folder(path))) return false;
    const std::string temporary = path + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << contents;
        if (!out.flush()) {
            std::remove(temporary.c_str());
            return false;
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    MarkChanged(path);
    return true;
}

bool CDesktopTypeStore::SetValue(const std::string& key, const std::string& value) {
    if (DataFolder().empty()) return false;
    const std::string file = FileOfKey(key);
    if (file.empty()) return !SplitKey(key)[0].empty();  // a key the desktop has no place for (DDE)
    const std::vector<std::string> parts = SplitKey(key);
    const std::string& root = parts[0];
    if (IsExtension(root)) {
        return WriteIfChanged(
            file, Package(std::string("  ") + kIdMarker + value + " -->\n  <mime-type type=\""
                          + XmlEscape(MimeTypeOf(value)) + "\">\n    <glob pattern=\"*" + XmlEscape(ToLower(root))
                          + "\" weight=\"" + std::to_string(kGlobWeight) + "\"/>\n  </mime-type>\n"));
    }
    if (parts.size() == 1) {
        return WriteIfChanged(
            file, Package("  <mime-type type=\"" + XmlEscape(MimeTypeOf(root)) + "\">\n    <comment>" + XmlEscape(value)
                          + "</comment>\n    <icon name=\"" + XmlEscape(root) + "\"/>\n  </mime-type>\n"));
    }
    if (file.size() > 4 && file.compare(file.size() - 4, 4, ".png") == 0) {
        if (!m_iconWriter || !MakeFolders(Folder(file))) return false;
        const std::string temporary = file + ".new.png";
        std::string drawn;
        if (!m_iconWriter(temporary) || !ReadWhole(temporary, drawn)) {
            std::remove(temporary.c_str());
            return false;
        }
        std::remove(temporary.c_str());
        return WriteIfChanged(file, drawn);
    }
    // The open command: the program followed by the quoted "%1" of the file.
    std::string program = value;
    const std::string file1 = " \"%1\"";
    if (program.size() > file1.size() && program.compare(program.size() - file1.size(), file1.size(), file1) == 0)
        program.erase(program.size() - file1.size());
    const std::string name = m_applicationName.empty() ? platform::ApplicationName() : m_applicationName;
    return WriteIfChanged(file, "[Desktop Entry]\nType=Application\nName=" + name
                                    + "\nExec=" + QuoteDesktopExecArgument(program) + " %f\nIcon=" + root
                                    + "\nMimeType=" + MimeTypeOf(root) + ";\nTerminal=false\n");
}

bool CDesktopTypeStore::QueryValue(const std::string& key, std::string& value) {
    const std::vector<std::string> parts = SplitKey(key);
    if (parts.size() != 1 || !IsExtension(parts[0])) return false;  // only an extension's value is asked for
    std::string contents;
    if (ReadWhole(FileOfKey(key), contents)) {
        const size_t at = contents.find(kIdMarker);
        const size_t end = at == std::string::npos ? at : contents.find(" -->", at);
        if (end == std::string::npos) return false;
        const size_t start = at + std::string(kIdMarker).size();
        value = contents.substr(start, end - start);
        return true;
    }
    // Another program's type that the desktop gives the extension.
    return FindGlobOwner(DataFolder(), "*" + ToLower(parts[0]), value);
}

bool CDesktopTypeStore::KeyExists(const std::string& key) {
    // A key of the tree stands while its type's key stands, or while its own file does.
    const std::string root = SplitKey(key)[0];
    return FileExists(FileOfKey(key)) || (!IsExtension(root) && FileExists(FileOfKey(root)));
}

bool CDesktopTypeStore::HasSubKey(const std::string& key) {
    const std::vector<std::string> parts = SplitKey(key);
    if (IsExtension(parts[0])) return false;
    for (const char* below : {"DefaultIcon", kOpenCommandKey}) {
        const std::string sub = parts[0] + "\\" + below;
        if (sub.size() > key.size() && sub.compare(0, key.size() + 1, key + "\\") == 0 && FileExists(FileOfKey(sub)))
            return true;
    }
    return false;
}

void CDesktopTypeStore::DeleteKey(const std::string& key) {
    const std::string file = FileOfKey(key);
    if (FileExists(file) && std::remove(file.c_str()) == 0) MarkChanged(file);
}

void CDesktopTypeStore::Flush() {
    const std::string data = DataFolder();
    if (m_mimeChanged && platform::HaveProgram("update-mime-database"))
        platform::RunProgram({"update-mime-database", data + "/mime"});
    if (m_applicationsChanged && platform::HaveProgram("update-desktop-database"))
        platform::RunProgram({"update-desktop-database", data + "/applications"});
    m_mimeChanged = m_applicationsChanged = false;
}

CDesktopTypeStore& GetDesktopTypeStore() {
    static CDesktopTypeStore store;
    return store;
}

}  // namespace GT
