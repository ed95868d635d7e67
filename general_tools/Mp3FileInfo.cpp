#include "general_tools/Mp3FileInfo.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "general_tools/CharacterCodeConverter.h"
#include "general_tools/EndianStreams.h"
#include "general_tools/Files.h"
#include "general_tools/Rounding.h"
#include "general_tools/StringFunctions.h"

namespace GT {

namespace {

constexpr int64_t kAudioProbe = 4096;
constexpr int kScanFrames = 320;
constexpr int kConstantAfter = 50;
constexpr int64_t kHeaderBytes = 4;
constexpr int64_t kId3v1Bytes = 128;
constexpr int64_t kId3v2HeaderBytes = 10;  // and as many for a footer
// The longest free-format frame: 640 kbit/s at 32 kHz in Layer III, with its padding byte.
constexpr int64_t kMaxFreeFormatFrame = 2881;

struct FrameHeader {
    bool mpeg1;
    int layer;
    int bitRateIndex;
    int sampleRateIndex;
    int padding;
    int channels;
};

FrameHeader Parse(const uint8_t* h) {
    return {((h[1] >> 3) & 1) != 0, (h[1] >> 1) & 3, h[2] >> 4,
            (h[2] >> 2) & 3,        (h[2] >> 1) & 1, (h[3] >> 6) == 3 ? 1 : 2};
}

// Layer I frames hold 384 samples, MPEG-2 Layer III frames 576, all others 1152.
int32_t SamplesPerFrame(const FrameHeader& f) {
    if (f.layer == kLayerBitsI) return 384;
    if (f.layer == kLayerBitsIII && !f.mpeg1) return 576;
    return 1152;
}

// Both headers belong to one stream: the same version, layer and sample rate (the fields a
// decoder keeps from frame to frame).
bool SameStream(const uint8_t* a, const uint8_t* b) {
    return (a[1] & 0xFE) == (b[1] & 0xFE) && (a[2] & 0x0C) == (b[2] & 0x0C);
}

bool IsFreeFormat(const uint8_t* header) { return (header[2] >> 4) == 0; }

// Bytes from the header's start to the end of its side information.
int64_t SideInfoEnd(const FrameHeader& f) {
    return kHeaderBytes + (f.mpeg1 ? (f.channels == 1 ? 17 : 32) : (f.channels == 1 ? 9 : 17));
}

int32_t BitRateOf(const uint8_t* h) {
    FrameHeader f = Parse(h);
    return GetMpegBitRate(f.mpeg1, f.layer, f.bitRateIndex);
}

int64_t StreamSize(std::istream& stream) {
    stream.clear();
    stream.seekg(0, std::ios::end);
    const std::streamoff end = stream.tellg();
    return end < 0 ? 0 : static_cast<int64_t>(end);
}

// Reads n bytes at an absolute position; false (error state cleared) when it cannot.
bool ReadAt(std::istream& stream, int64_t position, std::vector<uint8_t>& bytes) {
    stream.clear();
    if (position < 0 || !stream.seekg(position) || !ReadBytes(stream, bytes)) {
        stream.clear();
        return false;
    }
    return true;
}

// Whether count bytes are left from the stream's position: a tag states sizes up to 256 MB, and
// a body is allocated only when the file can fill it.
bool FitsInStream(std::istream& stream, int64_t count, int64_t streamSize) {
    const std::streamoff at = stream.tellg();
    return at >= 0 && count <= streamSize - static_cast<int64_t>(at);
}

bool Matches(const std::vector<uint8_t>& bytes, size_t at, const char* text) {
    const size_t n = std::strlen(text);
    return bytes.size() >= at + n && std::memcmp(bytes.data() + at, text, n) == 0;
}

uint32_t BigEndian32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

// Whole seconds of a byte count at a bit rate, truncated toward zero.
uint32_t Seconds(int64_t bytes, int32_t bitRate) {
    if (bytes <= 0 || bitRate <= 0) return 0;
    return static_cast<uint32_t>(std::trunc(static_cast<double>(bytes) * 8.0 / bitRate));
}

}  // namespace

int32_t GetMpegBitRate(bool mpeg1, int layerBits, int index) {
    static const int16_t kRates[5][15] = {
        {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},  // MPEG-1 Layer I
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},     // MPEG-1 Layer II
        {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},      // MPEG-1 Layer III
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},     // MPEG-2 Layer I
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},          // MPEG-2 Layers II, III
    };
    if (layerBits < kLayerBitsIII || layerBits > kLayerBitsI || index < 0 || index > 14) return -1;
    int row;
    if (mpeg1)
        row = kLayerBitsI - layerBits;  // Layer I, II, III: rows 0, 1, 2
    else
        row = layerBits == kLayerBitsI ? 3 : 4;
    return kRates[row][index] * 1000;
}

int32_t GetMpegSampleRate(bool mpeg1, int index) {
    static const int32_t kRates[2][3] = {{22050, 24000, 16000}, {44100, 48000, 32000}};
    if (index < 0 || index > 2) return 0;
    return kRates[mpeg1 ? 1 : 0][index];
}

int32_t GetMpegFrameLength(const uint8_t* header) {
    FrameHeader f = Parse(header);
    const int32_t bitRate = GetMpegBitRate(f.mpeg1, f.layer, f.bitRateIndex);
    const int32_t sampleRate = GetMpegSampleRate(f.mpeg1, f.sampleRateIndex);
    if (bitRate == -1 || sampleRate == 0) return 0;
    if (f.layer == kLayerBitsI) return (bitRate * 12 / sampleRate + f.padding) * 4;  // Layer I counts 4-byte slots
    return f.padding + (bitRate * SamplesPerFrame(f) / sampleRate) / 8;
}

uint32_t SyncsafeToInteger(const std::vector<uint8_t>& bytes) {
    uint32_t value = 0;
    for (uint8_t b : bytes) value = value * 128 + (b & 0x7F);
    return value;
}

bool ReadBytes(std::istream& stream, std::vector<uint8_t>& bytes) {
    if (bytes.empty()) return true;
    stream.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(stream);
}

CMp3FileInfo::CMp3FileInfo() = default;

void CMp3FileInfo::Reset() {
    id3v2Version = 0;
    duration = 0;
    sampleRate = 0;
    bitRate = 0;
    frameCount = 0;
    for (int i = 0; i < kTextFieldCount; ++i) {
        texts[i].clear();
        encodings[i] = 0;
    }
}

bool CMp3FileInfo::IsValidFrameHeader(const uint8_t* h) {
    FrameHeader f = Parse(h);
    return h[0] == 0xFF && (h[1] & 0xF0) == 0xF0 && f.layer != 0 && f.bitRateIndex < 15 && f.sampleRateIndex < 3;
}

bool CMp3FileInfo::Read(const std::string& path) {
    Reset();
    // The reader seeks to every frame header it checks: one buffer keeps those seeks in memory.
    CFileWindowBuffer buffer(path);
    if (!buffer.IsOpen()) return false;
    std::istream file(&buffer);
    return Read(file);
}

bool CMp3FileInfo::Read(std::istream& stream) {
    Reset();
    std::vector<uint8_t> magic(4);
    if (!ReadAt(stream, 0, magic)) return false;
    if (Matches(magic, 0, "RIFF")) return false;  // a RIFF-wrapped file is not read as MP3

    std::vector<uint8_t> header;
    bool atStart = false;
    const bool tagged = FindId3v2Tag(stream, header, atStart);
    if (tagged) {
        id3v2Version = static_cast<uint16_t>(header[3] * 256 + header[4]);
        if (id3v2Version == 0x0100 || id3v2Version == 0x0200)
            ReadId3v22Frames(stream, header, atStart);
        else
            ReadId3v23Frames(stream, header, atStart);
    } else {
        ReadId3v1(stream);
    }
    if (!stream.good()) return false;

    int64_t audioStart = 0;
    if (tagged && atStart)
        audioStart = static_cast<int64_t>(SyncsafeToInteger({header.begin() + 6, header.begin() + 10})) + 10;
    return AnalyzeAudio(stream, audioStart);
}

bool CMp3FileInfo::FindId3v2Tag(std::istream& stream, std::vector<uint8_t>& header, bool& atStart) {
    header.assign(10, 0);
    if (ReadAt(stream, 0, header) && Matches(header, 0, "ID3")) {
        atStart = true;
        return true;
    }
    const int64_t size = StreamSize(stream);
    if (size >= 10 && ReadAt(stream, size - 10, header) && Matches(header, 0, "3DI")) {
        atStart = false;
        return true;
    }
    stream.clear();
    return false;
}

bool CMp3FileInfo::SeekFrames(std::istream& stream, bool atStart, int64_t tagSize) {
    const int64_t start = atStart ? 10 : StreamSize(stream) - tagSize - 10;
    stream.clear();
    return start >= 0 && static_cast<bool>(stream.seekg(start));
}

bool CMp3FileInfo::ReadId3v22Frames(std::istream& stream, const std::vector<uint8_t>& header, bool atStart) {
    const int64_t tagSize = SyncsafeToInteger({header.begin() + 6, header.begin() + 10});
    const int64_t fileSize = StreamSize(stream);
    if (!SeekFrames(stream, atStart, tagSize)) {
        stream.clear();
        return false;
    }
    int64_t counted = 0;
    while (counted < tagSize) {
        std::vector<uint8_t> frame(6);
        if (!ReadBytes(stream, frame)) {
            stream.clear();
            return false;
        }
        const int64_t size = (int64_t(frame[3]) << 16) | (int64_t(frame[4]) << 8) | frame[5];
        if (size == 0 || size > tagSize - counted - 6) return true;
        if (!FitsInStream(stream, size, fileSize)) {
            stream.clear();
            return false;
        }
        std::vector<uint8_t> body(static_cast<size_t>(size));
        if (!ReadBytes(stream, body)) {
            stream.clear();
            return false;
        }
        StoreTextFrame(body, std::string(frame.begin(), frame.begin() + 3));
        counted += size + 6;
    }
    return true;
}

bool CMp3FileInfo::ReadId3v23Frames(std::istream& stream, const std::vector<uint8_t>& header, bool atStart) {
    const int64_t tagSize = SyncsafeToInteger({header.begin() + 6, header.begin() + 10});
    const bool v23 = id3v2Version == 0x0300;
    const int64_t fileSize = StreamSize(stream);
    auto fail = [&stream]() {
        stream.clear();
        return false;
    };
    if (!SeekFrames(stream, atStart, tagSize)) return fail();
    int64_t counted = 0;
    if (header[5] & 0x40) {
        std::vector<uint8_t> sizeBytes(4);
        if (!ReadBytes(stream, sizeBytes)) return fail();
        // 2.3 counts the extended header without its size field, 2.4 with it.
        const int64_t skip = v23 ? 4 + static_cast<int64_t>(BigEndian32(sizeBytes.data()))
                                 : static_cast<int64_t>(SyncsafeToInteger(sizeBytes));
        if (skip < 4 || skip > tagSize) return true;  // an extended header past the tag ends it quietly
        if (!stream.seekg(skip - 4, std::ios::cur)) return fail();
        counted += skip;
    }
    while (counted < tagSize) {
        std::vector<uint8_t> frame(10);
        if (!ReadBytes(stream, frame)) return fail();
        int64_t size = v23 ? static_cast<int64_t>(BigEndian32(frame.data() + 4))
                           : static_cast<int64_t>(SyncsafeToInteger({frame.begin() + 4, frame.begin() + 8}));
        if (size == 0 || size > tagSize - counted - 10) return true;
        counted += 10;
        for (uint8_t flag : {uint8_t(0x40), uint8_t(0x04)}) {
            if (!(frame[9] & flag)) continue;
            // A frame too small for the bytes its flags add is not a frame: the tag ends.
            if (size < 1) return true;
            std::vector<uint8_t> skipped(1);
            if (!ReadBytes(stream, skipped)) return fail();
            size -= 1;
            counted += 1;
        }
        if (!FitsInStream(stream, size, fileSize)) return fail();
        std::vector<uint8_t> body(static_cast<size_t>(size));
        if (!ReadBytes(stream, body)) return fail();
        StoreTextFrame(body, std::string(frame.begin(), frame.begin() + 4));
        counted += size;
    }
    return true;
}

void CMp3FileInfo::StoreTextFrame(const std::vector<uint8_t>& bytes, const std::string& id) {
    int field;
    size_t textStart = 1;
    if (id == "TIT2" || id == "TT2")
        field = kTitle;
    else if (id == "TPE1" || id == "TP1")
        field = kArtist;
    else if (id == "TALB" || id == "TAL")
        field = kAlbum;
    else if (id == "TRCK" || id == "TRK")
        field = kTrack;
    else if (id == "COMM" || id == "COM") {
        field = kComment;
        textStart = 5;
    } else {
        return;
    }
    if (bytes.size() < 2) return;
    const int code = bytes[0] <= 3 ? bytes[0] + kEncodingLatin1 : kEncodingNone;
    encodings[field] = code;
    if (bytes.size() <= textStart) return;  // a comment without text
    std::vector<uint8_t> text(bytes.begin() + static_cast<ptrdiff_t>(textStart), bytes.end());
    const bool wide = code == kEncodingUtf16Bom || code == kEncodingUtf16Be;
    if (wide) {
        if (text.size() < 2 || text[text.size() - 1] != 0 || text[text.size() - 2] != 0) text.insert(text.end(), 2, 0);
    } else if (text.back() != 0) {
        text.push_back(0);
    }
    texts[field] = std::move(text);
}

bool CMp3FileInfo::ReadId3v1(std::istream& stream) {
    const int64_t size = StreamSize(stream);
    std::vector<uint8_t> tag(128);
    if (size < 128 || !ReadAt(stream, size - 128, tag)) {
        stream.clear();
        return false;
    }
    if (!Matches(tag, 0, "TAG")) return false;
    const struct {
        int field;
        size_t at;
    } fields[] = {{kTitle, 3}, {kArtist, 33}, {kAlbum, 63}, {kComment, 97}};
    for (const auto& f : fields) {
        const std::string raw(tag.begin() + static_cast<ptrdiff_t>(f.at),
                              tag.begin() + static_cast<ptrdiff_t>(f.at + 30));
        const std::string trimmed = Trim(raw);
        texts[f.field].assign(trimmed.begin(), trimmed.end());
    }
    return true;
}

std::string CMp3FileInfo::DecodeText(const std::vector<uint8_t>& bytes, int encoding) {
    if (bytes.empty()) return std::string();
    if (encoding == kEncodingUtf16Bom || encoding == kEncodingUtf16Be) {
        size_t end = 0;
        while (end + 1 < bytes.size() && (bytes[end] != 0 || bytes[end + 1] != 0)) end += 2;
        const bool bigEndian = encoding == kEncodingUtf16Be || bytes[0] != 0xFF;
        std::u16string wide = Utf16BytesToWide({bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(end)}, bigEndian);
        if (!wide.empty() && wide[0] == 0xFEFF) wide.erase(0, 1);
        return GetCharacterCodeConverter().ToUtf8(wide);
    }
    const auto zero = std::find(bytes.begin(), bytes.end(), 0);
    const std::string text(bytes.begin(), zero);
    if (encoding == kEncodingUtf8) return text;
    return GetCharacterCodeConverter().ToUtf8(GetCharacterCodeConverter().FromAnsi(text));
}

int64_t CMp3FileInfo::FindNextFreeFormatHeader(std::istream& stream, int64_t position, const uint8_t* header) {
    // From the end of the side information, as a frame's data starts there.
    const int64_t from = position + SideInfoEnd(Parse(header));
    std::vector<uint8_t> window(static_cast<size_t>(kMaxFreeFormatFrame + kHeaderBytes));
    stream.clear();
    if (position < 0 || !stream.seekg(from)) {
        stream.clear();
        return -1;
    }
    stream.read(reinterpret_cast<char*>(window.data()), static_cast<std::streamsize>(window.size()));
    const int64_t got = static_cast<int64_t>(stream.gcount());
    stream.clear();
    for (int64_t i = 0; i + kHeaderBytes <= got; ++i) {
        const uint8_t* next = window.data() + i;
        if (IsValidFrameHeader(next) && IsFreeFormat(next) && SameStream(header, next)) return from + i;
    }
    return -1;
}

bool CMp3FileInfo::StartsFrameRun(std::istream& stream, int64_t position, const uint8_t* header, int64_t dataEnd) {
    if (!IsValidFrameHeader(header)) return false;
    if (IsFreeFormat(header)) return FindNextFreeFormatHeader(stream, position, header) >= 0;
    const int32_t length = GetMpegFrameLength(header);
    if (length <= 0) return false;
    const int64_t end = position + length;
    if (end == dataEnd) return true;
    std::vector<uint8_t> next(kHeaderBytes);
    return end + kHeaderBytes <= dataEnd && ReadAt(stream, end, next) && IsValidFrameHeader(next.data())
           && SameStream(header, next.data());
}

int64_t CMp3FileInfo::FindFrameInBuffer(std::istream& stream, const std::vector<uint8_t>& buffer, int64_t from,
                                        int64_t dataEnd) {
    for (int64_t i = std::max<int64_t>(from, 0); i + kHeaderBytes <= static_cast<int64_t>(buffer.size()); ++i)
        if (IsValidFrameHeader(buffer.data() + i) && StartsFrameRun(stream, i, buffer.data() + i, dataEnd)) return i;
    return -1;
}

int64_t CMp3FileInfo::FindFrameInStream(std::istream& stream, int64_t position, int64_t dataEnd) {
    // Reads ahead in blocks; the answer is the same as reading 4 bytes at each offset.
    constexpr size_t kBlock = 8192;
    std::vector<uint8_t> block(kBlock + kHeaderBytes - 1);
    int64_t found = -1;
    stream.clear();
    while (position >= 0 && stream.seekg(position)) {
        stream.read(reinterpret_cast<char*>(block.data()), static_cast<std::streamsize>(block.size()));
        const size_t got = static_cast<size_t>(stream.gcount());
        for (size_t i = 0; i + kHeaderBytes <= got; ++i) {
            const int64_t at = position + static_cast<int64_t>(i);
            if (IsValidFrameHeader(block.data() + i) && StartsFrameRun(stream, at, block.data() + i, dataEnd)) {
                found = at;
                break;
            }
        }
        if (found >= 0 || got < block.size()) break;
        position += kBlock;
        stream.clear();
    }
    stream.clear();
    return found;
}

int32_t CMp3FileInfo::ScanAverageBitRate(std::istream& stream, int64_t position, int64_t dataEnd) {
    int count = 0;
    int64_t sum = 0;
    int32_t previous = -1;
    bool constant = true;
    while (true) {
        const int64_t at = FindFrameInStream(stream, position, dataEnd);
        if (at < 0) break;
        std::vector<uint8_t> header(kHeaderBytes);
        if (!ReadAt(stream, at, header)) break;
        const int32_t rate = BitRateOf(header.data());
        if (rate == -1) break;
        sum += rate;
        const int32_t length = GetMpegFrameLength(header.data());
        if (length == 0) break;
        if (previous != -1 && previous != rate) constant = false;
        if (count >= kConstantAfter && constant) return rate;
        ++count;
        position = at + length;
        previous = rate;
        if (count == kScanFrames) break;
    }
    if (count == 0) return -1;
    return RoundToInt(static_cast<double>(sum) / count);
}

int64_t CMp3FileInfo::FindAudioDataEnd(std::istream& stream) {
    int64_t end = StreamSize(stream);
    std::vector<uint8_t> tail(3);
    if (end >= kId3v1Bytes && ReadAt(stream, end - kId3v1Bytes, tail) && Matches(tail, 0, "TAG")) end -= kId3v1Bytes;
    std::vector<uint8_t> footer(kId3v2HeaderBytes);
    if (end >= kId3v2HeaderBytes && ReadAt(stream, end - kId3v2HeaderBytes, footer) && Matches(footer, 0, "3DI")) {
        const int64_t tagBytes = SyncsafeToInteger({footer.begin() + 6, footer.end()}) + 2 * kId3v2HeaderBytes;
        if (tagBytes <= end) end -= tagBytes;
    }
    stream.clear();
    return end;
}

uint32_t CMp3FileInfo::ReadXingHeader(const std::vector<uint8_t>& buffer, int64_t position) const {
    const int64_t size = static_cast<int64_t>(buffer.size());
    if (position < 0 || size - position <= 4 || !Matches(buffer, static_cast<size_t>(position), "Xing")) return 0;
    int64_t at = position + 4;
    if (size - at <= 4) return 0;
    const uint32_t flags = BigEndian32(buffer.data() + at);
    at += 4;
    if ((flags & 1) && size - at > 4) return BigEndian32(buffer.data() + at);
    return 0;
}

uint32_t CMp3FileInfo::ReadVbriHeader(const std::vector<uint8_t>& buffer, int64_t position) const {
    const int64_t size = static_cast<int64_t>(buffer.size());
    if (position < 0 || size - position <= 26 || !Matches(buffer, static_cast<size_t>(position), "VBRI")) return 0;
    return BigEndian32(buffer.data() + position + 14);
}

bool CMp3FileInfo::AnalyzeAudio(std::istream& stream, int64_t audioStart) {
    const int64_t fileSize = StreamSize(stream);
    const int64_t dataEnd = FindAudioDataEnd(stream);
    std::vector<uint8_t> buffer(
        static_cast<size_t>(std::max<int64_t>(0, std::min(audioStart + kAudioProbe, fileSize))));
    if (!ReadAt(stream, 0, buffer)) return false;
    const int64_t first = FindFrameInBuffer(stream, buffer, audioStart, dataEnd);
    if (first < 0) return false;

    const FrameHeader f = Parse(buffer.data() + first);
    sampleRate = GetMpegSampleRate(f.mpeg1, f.sampleRateIndex);
    int32_t rate = GetMpegBitRate(f.mpeg1, f.layer, f.bitRateIndex);
    if (rate == -1) rate = sampleRate * f.channels * 16;
    const int64_t sideEnd = first + SideInfoEnd(f);

    // The first VBR header that stands where it may counts, even without a frame count.
    const auto tagAt = [&buffer](int64_t at, const char* tag, int64_t minLeft) {
        return at >= 0 && static_cast<int64_t>(buffer.size()) - at > minLeft
               && Matches(buffer, static_cast<size_t>(at), tag);
    };
    uint32_t frames = 0;
    if (tagAt(sideEnd, "Xing", 4))
        frames = ReadXingHeader(buffer, sideEnd);
    else if (tagAt(sideEnd + 2, "Xing", 4))
        frames = ReadXingHeader(buffer, sideEnd + 2);
    else if (tagAt(first + 36, "VBRI", 26))
        frames = ReadVbriHeader(buffer, first + 36);
    else if (tagAt(first + 38, "VBRI", 26))
        frames = ReadVbriHeader(buffer, first + 38);
    if (frames != 0) {
        frameCount = frames;
        duration = static_cast<uint32_t>(std::trunc(static_cast<double>(frames) * SamplesPerFrame(f) / sampleRate));
        return true;
    }

    if (rate != 0) {
        bitRate = ScanAverageBitRate(stream, first, dataEnd);
        if (bitRate <= 0) return false;  // nothing counted: no rate to divide by
        duration = Seconds(fileSize - audioStart, bitRate);
        return true;
    }

    // Free format: the distance to the next frame gives the rate (the first frame was only
    // accepted with one).
    const int64_t next = FindNextFreeFormatHeader(stream, first, buffer.data() + first);
    if (next < 0) return false;
    const int64_t length = next - first - f.padding;
    bitRate =
        static_cast<int32_t>(Round(sampleRate * static_cast<double>(length) * 8 / SamplesPerFrame(f) / 1000)) * 1000;
    if (bitRate <= 0) return false;
    duration = Seconds(fileSize - audioStart, bitRate);
    return true;
}

}  // namespace GT
