// One song slot of the card: what the song table shows, what the database and icon files store,
// and where the song's audio file lies on the card.
#pragma once

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <string>
#include <vector>

// File types of a song.
enum ESongFileType : int {
    kSongFileNone = 0,
    kSongFileWav = 1,
    kSongFileAiff = 2,
    kSongFileMp3 = 3,
    kSongFileVoxa = 4,
    kSongFileUnknown = 5,  // only as the answer of GetSongFileType
};

class CSongX {
public:
    CSongX() = default;

    // The texts are UTF-8, cut to GetMaxTextLength characters.
    const std::string& GetTitle() const { return m_title; }
    const std::string& GetArtist() const { return m_artist; }
    const std::string& GetAlbum() const { return m_album; }
    void SetTitle(const std::string& text) { m_title = TruncateUtf8(text, GetMaxTextLength()); }
    void SetArtist(const std::string& text) { m_artist = TruncateUtf8(text, GetMaxTextLength()); }
    void SetAlbum(const std::string& text) { m_album = TruncateUtf8(text, GetMaxTextLength()); }
    static int GetMaxTextLength() { return 255; }

    // The audio file relative to the card's root: "/" first and "/" separators
    // (/CORVANE/QM/DB/000/0000.WAV); empty for an empty slot.
    const std::string& GetPath() const { return m_path; }
    bool IsUsed() const { return !m_path.empty(); }
    // The card drive of the process-wide document followed by the path; empty when the path is
    // empty or no card is connected.
    std::string GetFullPath() const;
    // "A:" and the path with "\" separators, as the player sees its card; empty for an empty path.
    std::string GetDevicePath() const;
    // The full path without the card drive; a path that does not lie on the card gives an empty
    // path.
    void SetPathFromFullPath(const std::string& fullPath);
    // From a song-file-name table entry: every "A:" removed and "\" turned into "/", so an entry
    // with or without the drive names the same file. An entry that does not then start with
    // "/", or that has a ".." segment, gives an empty path, so that no operation reaches outside
    // the card.
    void SetPathFromDevicePath(const std::string& devicePath);

    int GetDuration() const { return m_duration; }
    void SetDuration(int seconds) { m_duration = seconds < 0 ? 0 : seconds; }
    int GetFileType() const { return m_fileType; }
    // 0 to 4 are kept; anything else is stored as 0.
    void SetFileType(int type) { m_fileType = static_cast<unsigned>(type) <= kSongFileVoxa ? type : kSongFileNone; }
    int GetSizeKiB() const { return m_sizeKiB; }
    void SetSizeKiB(int kib) { m_sizeKiB = kib < 0 ? 0 : kib; }
    bool IsProtected() const { return m_protected; }
    void SetProtected(bool protect) { m_protected = protect; }
    // The CD or MP3 track number; the icon file keeps its low byte.
    int GetNumber() const { return m_number; }
    void SetNumber(int number) { m_number = number; }

    // Moves this song to position n of the process-wide document's Best list.
    void SetBestRank(int n);

    // Fills the record from an audio file that is to go onto the card: duration, file type and
    // size, and for an MP3 file title, artist, album and number from its tag (a WAV, AIFF or
    // Voxa file empties title, artist and album; a Voxa file keeps the duration). False leaves
    // the record as it was: an unsupported extension, a file that cannot be read, a WAV or
    // AIFF file whose samples are not integers or whose sample rate is not a positive number.
    bool ReadFileInformation(const std::string& path);

    // Empties the four texts (the path too: the slot is free) and zeroes the numbers and the
    // protect flag.
    void Clear();

    // The text up to its first zero byte, cut after n characters; a leading byte-order mark is
    // kept and not counted. A lead byte counts as many bytes as its leading 1-bits (6 for 0xFC
    // and above), any other byte as one; a last character that runs past the text's end is cut
    // at the end.
    static std::string TruncateUtf8(const std::string& text, int n);
    // The text up to its first zero byte, without a leading byte-order mark.
    static std::string StripByteOrderMark(const std::string& text);
    // The longest prefix of at most maxBytes bytes that ends on a whole character (characters
    // counted as TruncateUtf8 counts them); the text itself when it is short enough.
    static std::string CutToBytes(const std::string& text, std::size_t maxBytes);

private:
    std::string m_title;
    std::string m_path;
    int32_t m_duration = 0;
    int32_t m_fileType = kSongFileNone;
    int32_t m_sizeKiB = 0;
    std::string m_artist;
    std::string m_album;
    bool m_protected = false;
    int32_t m_number = 0;
};

typedef boost::shared_ptr<CSongX> CSongPointer;
// Slot n at index n; the document owns the records through it.
typedef std::vector<CSongPointer> CSlotTable;

// A list entry of the card document: the record (owned by its slot) and the slot's number.
struct CSongRef {
    CSongX* song = nullptr;
    int slot = -1;
};
typedef std::vector<CSongRef> CSongList;

// The file type by the path's upper-cased extension: ".WAV" 1, ".AIF" and ".AIFF" 2, ".MP3" 3,
// ".Q3R" 4, anything else 5.
int GetSongFileType(const std::string& path);
bool IsSupportedSongFile(const std::string& path);
