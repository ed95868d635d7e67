// What the editor needs to know of an MP3 file without decoding it: the tag texts
// (ID3v2, else ID3v1) and, from the MPEG audio frames, sample rate, bit rate,
// frame count and duration.
#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <vector>

namespace GT {

// The layer field of a frame header (byte 1, bits 2-1); 0 is invalid.
enum MpegLayerBits { kLayerBitsIII = 1, kLayerBitsII = 2, kLayerBitsI = 3 };

class CMp3FileInfo {
public:
    enum TextField { kTitle, kArtist, kAlbum, kTrack, kComment, kTextFieldCount };
    // Text encodings: a frame's encoding byte 0 to 3 plus one; 0 for any other byte and for
    // ID3v1 texts.
    enum TextEncoding {
        kEncodingNone = 0,
        kEncodingLatin1 = 1,
        kEncodingUtf16Bom = 2,
        kEncodingUtf16Be = 3,
        kEncodingUtf8 = 4
    };

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

    // Frame searches accept a valid header only where a frame really starts, as decoders do:
    // the header at the frame's computed end is valid for the same stream (version, layer and
    // sample rate), or the audio data ends exactly there (dataEnd: the file's end before its
    // trailing tags). A free-format frame, whose length is not computed, needs the next
    // free-format header of the same stream within the longest frame such a stream has. So a
    // stray sync in junk or in other data is passed over, and a file without such a run of
    // frames has none.
    static bool StartsFrameRun(std::istream& stream, int64_t position, const uint8_t* header, int64_t dataEnd);
    // The first offset of the buffer, from `from` to its size - 4, where a frame run starts.
    static int64_t FindFrameInBuffer(std::istream& stream, const std::vector<uint8_t>& buffer, int64_t from,
                                     int64_t dataEnd);
    static int64_t FindFrameInStream(std::istream& stream, int64_t position, int64_t dataEnd);
    static int32_t ScanAverageBitRate(std::istream& stream, int64_t position, int64_t dataEnd);
    // Where the audio data ends: the file's end, before an ID3v1 tag and an appended ID3v2 tag.
    static int64_t FindAudioDataEnd(std::istream& stream);

private:
    void Reset();
    // Frames start here: after the header, or before the footer at the end.
    static bool SeekFrames(std::istream& stream, bool atStart, int64_t tagSize);
    // The next free-format header of the header's stream after position, within the longest
    // free-format frame; -1 when there is none.
    static int64_t FindNextFreeFormatHeader(std::istream& stream, int64_t position, const uint8_t* header);
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
