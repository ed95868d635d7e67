#include "app/card/Song.h"

#include "app/card/CardDocument.h"
#include "app/card/DocumentModel.h"
#include "app/card/Domain.h"
#include "general_tools/Paths.h"
#include "general_tools/StringFunctions.h"

namespace {

const char kDevicePrefix[] = "A:";
const char kUtf8ByteOrderMark[] = "\xEF\xBB\xBF";

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// Bytes of the character that starts with this byte: a byte below 0x80 is one, any other counts
// the leading 1-bits of (b & 0xFC), at least one.
std::size_t CharacterLength(unsigned char b) {
    if (b < 0x80) return 1;
    unsigned bits = b & 0xFC;
    std::size_t length = 0;
    while (bits & 0x80) {
        ++length;
        bits = (bits << 1) & 0xFF;
    }
    return length == 0 ? 1 : length;
}

std::string UpToZero(const std::string& text) { return text.substr(0, text.find('\0')); }

// A relative card path that stays on the card and names a file: "/" first, no ".." segment, no
// trailing "/".
bool IsSafeCardPath(const std::string& path) {
    if (path.size() < 2 || path[0] != '/' || path.back() == '/') return false;
    std::string::size_type start = 1;
    while (start <= path.size()) {
        std::string::size_type end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        if (path.compare(start, end - start, "..") == 0 && end - start == 2) return false;
        start = end + 1;
    }
    return true;
}

}  // namespace

std::string CSongX::GetFullPath() const {
    if (m_path.empty()) return std::string();
    const CDocX& document = CDocumentModel::GetInstance().GetDocument();
    if (!document.IsConnected()) return std::string();
    return document.GetCardDrive() + m_path;
}

std::string CSongX::GetDevicePath() const {
    if (m_path.empty()) return std::string();
    return kDevicePrefix + GT::ConvertPathSlashes(m_path, false);
}

void CSongX::SetPathFromFullPath(const std::string& fullPath) {
    const CDocX& document = CDocumentModel::GetInstance().GetDocument();
    const std::string drive = document.GetCardDrive();
    m_path.clear();
    if (!document.IsConnected() || !StartsWith(fullPath, drive)) return;
    const std::string path = fullPath.substr(drive.size());
    if (IsSafeCardPath(path)) m_path = path;
}

void CSongX::SetPathFromDevicePath(const std::string& devicePath) {
    // Other programs write entries without the drive (\CORVANE\...): the same file.
    m_path.clear();
    const std::string path = GT::ReplaceAll(GT::ReplaceAll(devicePath, kDevicePrefix, ""), "\\", "/");
    if (IsSafeCardPath(path)) m_path = path;
}

void CSongX::SetBestRank(int n) { CDocumentModel::GetInstance().GetDocument().SetBestRank(this, n); }

void CSongX::Clear() { *this = CSongX(); }

std::string CSongX::TruncateUtf8(const std::string& text, int n) {
    const std::size_t end = std::min(text.find('\0'), text.size());
    if (end == 0) return std::string();
    std::size_t i = StartsWith(text, kUtf8ByteOrderMark) ? 3 : 0;
    for (int counted = 0; i < end && counted < n; ++counted) i += CharacterLength(static_cast<unsigned char>(text[i]));
    return text.substr(0, std::min(i, end));
}

std::string CSongX::StripByteOrderMark(const std::string& text) {
    const std::string upToZero = UpToZero(text);
    return StartsWith(upToZero, kUtf8ByteOrderMark) ? upToZero.substr(3) : upToZero;
}

std::string CSongX::CutToBytes(const std::string& text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return text;
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t next = i + CharacterLength(static_cast<unsigned char>(text[i]));
        if (next > maxBytes) break;
        i = next;
    }
    return text.substr(0, i);
}

int GetSongFileType(const std::string& path) {
    const std::string extension = GT::ToUpper(GT::CPathParts(path, '/').extension);
    if (extension == ".WAV") return kSongFileWav;
    if (extension == ".AIF" || extension == ".AIFF") return kSongFileAiff;
    if (extension == ".MP3") return kSongFileMp3;
    if (extension == CDomain::GetInstance().GetVoxaExtension()) return kSongFileVoxa;
    return kSongFileUnknown;
}

bool IsSupportedSongFile(const std::string& path) {
    const int type = GetSongFileType(path);
    return type >= kSongFileWav && type <= kSongFileVoxa;
}
