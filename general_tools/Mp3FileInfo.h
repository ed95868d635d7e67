// What the editor needs to know of an MP3 file without decoding it: the tag texts
// (ID3v2, else ID3v1) and, from the MPEG audio frames, sample rate, bit rate,
// frame count and duration.
#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <vector>

namespace GT {

class CMp3FileInfo {
public:
    enum TextField { kTitle, kArtist, kAlbum, kTrack, kComment, kTextFieldCount };
    // Text encodings: 0 none, 1 ISO-8859-1, 2 UTF-16 with BOM, 3 UTF-16BE, 4 UTF-8.

    CMp3FileInfo();

    bool Read(const std::string& path);
    // The same from a stream positioned anywhere (tests read from memory).
    bool Read(std::istream& stream);

    static std::string DecodeText(const std::vector<uint8_t>& bytes, int encoding);
    static bool IsValidFrameHeader(const uint8_t* header);

    uint16_t id3v2Version = 0;  // major * 256 + revision; 0 without an ID3v2 tag
    int32_t encodings[kTextFieldCount] = {};
    std::vector<uint8_t> texts[kTextFieldCount];
    uint32_t duration = 0;  // whole seconds
    int32_t sampleRate = 0;
    int32_t bitRate = 0;
    uint32_t frameCount = 0;

    // Copies of the tag's raw texts (zero-terminated from ID3v2), empty when absent.
    std::vector<uint8_t> GetTitle() const { return texts[kTitle]; }
    std::vector<uint8_t> GetArtist() const { return texts[kArtist]; }
    std::vector<uint8_t> GetAlbum() const { return texts[kAlbum]; }
    std::vector<uint8_t> GetTrack() const { return texts[kTrack]; }

    // The steps of Read, in the order it takes them.
    bool FindId3v2Tag(std::istream& stream, std::vector<uint8_t>& header, bool& atStart);
    bool ReadId3v22Frames(std::istream& stream, const std::vector<uint8_t>& header, bool atStart);
    bool ReadId3v23Frames(std::istream& stream, const std::vector<uint8_t>& header, bool atStart);
    void StoreTextFrame(const std::vector<uint8_t>& bytes, const std::string& id);
    bool ReadId3v1(std::istream& stream);
    bool AnalyzeAudio(std::istream& stream, int64_t audioStart);
    uint32_t ReadXingHeader(const std::vector<uint8_t>& buffer, int64_t position) const;
    uint32_t ReadVbriHeader(const std::vector<uint8_t>& buffer, int64_t position) const;
    static int64_t FindFrameInBuffer(const std::vector<uint8_t>& buffer, int64_t from);
    static int64_t FindFrameInStream(std::istream& stream, int64_t position);
    static int32_t ScanAverageBitRate(std::istream& stream, int64_t position);

private:
    void Reset();
    // Frames start here: after the header, or before the footer at the end.
    static bool SeekFrames(std::istream& stream, bool atStart, int64_t tagSize);
};

// Bits per second; -1 for layer bits 0 or an index above 14; 0 for free format.
int32_t GetMpegBitRate(bool mpeg1, int layerBits, int index);
// Hz; 0 for index 3.
int32_t GetMpegSampleRate(bool mpeg1, int index);
// Bytes of the frame the header starts; 0 when its bit rate or sample rate is invalid.
int32_t GetMpegFrameLength(const uint8_t* header);
// 7 bits of each byte, most significant byte first.
uint32_t SyncsafeToInteger(const std::vector<uint8_t>& bytes);
// Reads exactly bytes.size() bytes; true when the stream is still good.
bool ReadBytes(std::istream& stream, std::vector<uint8_t>& bytes);

}  // namespace GT
