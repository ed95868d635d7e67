#include "sound/files/FormAiffFile.h"

#include "sound/files/ChunkFields.h"

#include <istream>
#include <ostream>

namespace SL {

namespace {

constexpr int kOrder = CFormAiffFileChunks::kByteOrder;
// Smallest entry in the file: marker id, position, count byte and its pad; comment time
// stamp, marker id and text length.
constexpr std::int64_t kMinMarkerBytes = 8;
constexpr std::int64_t kMinCommentBytes = 8;
// "SSND" offset and block size, before the data.
constexpr std::int64_t kSoundDataFieldBytes = 8;

// A list entry's text: length bytes, no more than the chunk still holds (left, counted down),
// then one pad byte, skipped unread, when padded.
bool ReadEntryText(std::istream& in, std::size_t length, bool padded, std::int64_t& left, std::string& text) {
    if (std::int64_t(length) > left || !ReadByteString(in, length, text)) return false;
    left -= std::int64_t(length);
    if (padded) {
        char pad;
        if (!in.get(pad)) return false;
        --left;
    }
    return true;
}

// The text's bytes, then a pad byte of 0 when padded.
bool WriteEntryText(std::ostream& out, const std::string& text, bool padded) {
    return WriteByteString(out, text) && (!padded || WriteField(out, kOrder, std::uint8_t(0)));
}

bool ReadLoop(std::istream& in, CFormAiffFileChunks::CInstrumentChunk::CLoop& loop) {
    return ReadField(in, kOrder, loop.playMode) && ReadField(in, kOrder, loop.beginLoop)
           && ReadField(in, kOrder, loop.endLoop);
}

bool WriteLoop(std::ostream& out, const CFormAiffFileChunks::CInstrumentChunk::CLoop& loop) {
    return WriteField(out, kOrder, loop.playMode) && WriteField(out, kOrder, loop.beginLoop)
           && WriteField(out, kOrder, loop.endLoop);
}

}  // namespace

CFormAiffFileChunks::CFormAiffChunk::CFormAiffChunk(boost::shared_ptr<IChunkFactory> factory)
    : CIffContainerChunk(kOrder, IffId::FORM, IffId::AIFF, std::move(factory)) {}

// --- "COMM" ---

CFormAiffFileChunks::CCommonChunk::CCommonChunk() : CIffChunk(kOrder, IffId::COMM) {}

bool CFormAiffFileChunks::CCommonChunk::ReadData(std::istream& in) {
    if (GetHeader().GetSize() < 18) return false;
    if (!(ReadField(in, kOrder, channels) && ReadField(in, kOrder, sampleFrames) && ReadField(in, kOrder, sampleSize)))
        return false;
    GT::CEndianedStreamUtilities(kOrder).ReadExtended80(in, sampleRate);
    return !in.fail();
}

bool CFormAiffFileChunks::CCommonChunk::WriteData(std::ostream& out) {
    if (!(WriteField(out, kOrder, channels) && WriteField(out, kOrder, sampleFrames)
          && WriteField(out, kOrder, sampleSize)))
        return false;
    GT::CEndianedStreamUtilities(kOrder).WriteExtended80(out, sampleRate);
    return !out.fail();
}

// --- "SSND" ---

CFormAiffFileChunks::CSoundDataChunk::CSoundDataChunk(std::uint8_t loadFlag)
    : CIffDataChunk(kOrder, IffId::SSND, loadFlag) {}

bool CFormAiffFileChunks::CSoundDataChunk::ReadData(std::istream& in) {
    if (GetDataLength() < 0) return false;
    return ReadField(in, kOrder, offset) && ReadField(in, kOrder, blockSize) && CStreamableData::Read(in);
}

bool CFormAiffFileChunks::CSoundDataChunk::WriteData(std::ostream& out) {
    return WriteField(out, kOrder, offset) && WriteField(out, kOrder, blockSize) && CStreamableData::Write(out);
}

std::int64_t CFormAiffFileChunks::CSoundDataChunk::GetSamplePosition() const {
    return std::int64_t{GetHeader().GetDataPosition()} + kSoundDataFieldBytes + offset;
}

std::int64_t CFormAiffFileChunks::CSoundDataChunk::GetSampleByteCount() const {
    const std::int64_t count = std::int64_t{GetDataLength()} - offset;
    return count < 0 ? -1 : count;
}

// --- "MARK" ---

CFormAiffFileChunks::CMarkerChunk::CMarkerChunk() : CIffChunk(kOrder, IffId::MARK) {}

bool CFormAiffFileChunks::CMarkerChunk::ReadData(std::istream& in) {
    std::uint16_t count = 0;
    if (!ReadField(in, kOrder, count)) return false;
    // Counted down as the entries are read, so that no name is read beyond the chunk.
    std::int64_t left = GetBodyBytesLeft(in);
    if (count * kMinMarkerBytes > left) return false;
    markers.assign(count, CMarker());
    for (CMarker& marker : markers) {
        std::uint8_t length = 0;
        if (!(ReadField(in, kOrder, marker.id) && ReadField(in, kOrder, marker.position)
              && ReadField(in, kOrder, length)))
            return false;
        left -= 7;
        // Count byte and name together take an even number of bytes.
        if (!ReadEntryText(in, length, length % 2 == 0, left, marker.name)) return false;
    }
    return !in.fail();
}

bool CFormAiffFileChunks::CMarkerChunk::WriteData(std::ostream& out) {
    if (markers.size() > UINT16_MAX) return false;
    if (!WriteField(out, kOrder, static_cast<std::uint16_t>(markers.size()))) return false;
    for (const CMarker& marker : markers) {
        if (marker.name.size() > UINT8_MAX) return false;
        const auto length = static_cast<std::uint8_t>(marker.name.size());
        if (!(WriteField(out, kOrder, marker.id) && WriteField(out, kOrder, marker.position)
              && WriteField(out, kOrder, length) && WriteEntryText(out, marker.name, length % 2 == 0)))
            return false;
    }
    return !out.fail();
}

// --- "INST" ---

CFormAiffFileChunks::CInstrumentChunk::CInstrumentChunk() : CIffChunk(kOrder, IffId::INST) {}

bool CFormAiffFileChunks::CInstrumentChunk::ReadData(std::istream& in) {
    return ReadField(in, kOrder, baseNote) && ReadField(in, kOrder, detune) && ReadField(in, kOrder, lowNote)
           && ReadField(in, kOrder, highNote) && ReadField(in, kOrder, lowVelocity)
           && ReadField(in, kOrder, highVelocity) && ReadField(in, kOrder, gain) && ReadLoop(in, sustainLoop)
           && ReadLoop(in, releaseLoop);
}

bool CFormAiffFileChunks::CInstrumentChunk::WriteData(std::ostream& out) {
    return WriteField(out, kOrder, baseNote) && WriteField(out, kOrder, detune) && WriteField(out, kOrder, lowNote)
           && WriteField(out, kOrder, highNote) && WriteField(out, kOrder, lowVelocity)
           && WriteField(out, kOrder, highVelocity) && WriteField(out, kOrder, gain) && WriteLoop(out, sustainLoop)
           && WriteLoop(out, releaseLoop);
}

// --- "MIDI", "AESD" ---

CFormAiffFileChunks::CMidiDataChunk::CMidiDataChunk() : CIffChunk(kOrder, IffId::MIDI) {}

bool CFormAiffFileChunks::CMidiDataChunk::ReadData(std::istream& in) { return !in.fail(); }

bool CFormAiffFileChunks::CMidiDataChunk::WriteData(std::ostream& out) { return !out.fail(); }

CFormAiffFileChunks::CAudioRecordingChunk::CAudioRecordingChunk() : CIffChunk(kOrder, IffId::AESD) {}

bool CFormAiffFileChunks::CAudioRecordingChunk::ReadData(std::istream& in) { return !in.fail(); }

bool CFormAiffFileChunks::CAudioRecordingChunk::WriteData(std::ostream& out) { return !out.fail(); }

// --- "APPL" ---

CFormAiffFileChunks::CApplicationSpecificChunk::CApplicationSpecificChunk() : CIffDataChunk(kOrder, IffId::APPL, 1) {}

bool CFormAiffFileChunks::CApplicationSpecificChunk::ReadData(std::istream& in) {
    if (GetDataLength() < 0) return false;
    return signature.Read(in) && CStreamableData::Read(in);
}

bool CFormAiffFileChunks::CApplicationSpecificChunk::WriteData(std::ostream& out) {
    return signature.Write(out) && CStreamableData::Write(out);
}

// --- "COMT" ---

CFormAiffFileChunks::CCommentsChunk::CCommentsChunk() : CIffChunk(kOrder, IffId::COMT) {}

bool CFormAiffFileChunks::CCommentsChunk::ReadData(std::istream& in) {
    std::uint16_t count = 0;
    if (!ReadField(in, kOrder, count)) return false;
    std::int64_t left = GetBodyBytesLeft(in);
    if (count * kMinCommentBytes > left) return false;
    comments.assign(count, CComment());
    for (CComment& comment : comments) {
        std::uint16_t length = 0;
        if (!(ReadField(in, kOrder, comment.timeStamp) && ReadField(in, kOrder, comment.markerId)
              && ReadField(in, kOrder, length)))
            return false;
        left -= 8;
        if (!ReadEntryText(in, length, length % 2 == 1, left, comment.text)) return false;
    }
    return !in.fail();
}

bool CFormAiffFileChunks::CCommentsChunk::WriteData(std::ostream& out) {
    if (comments.size() > UINT16_MAX) return false;
    if (!WriteField(out, kOrder, static_cast<std::uint16_t>(comments.size()))) return false;
    for (const CComment& comment : comments) {
        if (comment.text.size() > UINT16_MAX) return false;
        const auto length = static_cast<std::uint16_t>(comment.text.size());
        if (!(WriteField(out, kOrder, comment.timeStamp) && WriteField(out, kOrder, comment.markerId)
              && WriteField(out, kOrder, length) && WriteEntryText(out, comment.text, length % 2 == 1)))
            return false;
    }
    return !out.fail();
}

// --- text chunks ---

CFormAiffFileChunks::CTextChunk::CTextChunk(const CFourCharacterCode& id) : CIffChunk(kOrder, id) {}

bool CFormAiffFileChunks::CTextChunk::ReadData(std::istream& in) {
    const std::int32_t size = GetHeader().GetSize();
    if (size > GetBodyBytesLeft(in)) return false;
    return ReadByteString(in, static_cast<std::size_t>(size), text);
}

bool CFormAiffFileChunks::CTextChunk::WriteData(std::ostream& out) { return WriteByteString(out, text); }

// --- factory and file ---

std::unique_ptr<CIffChunk> CFormAiffFileChunks::CFormAiffChunk::CDefaultChunkFactory::Create(
    const CIffChunk::CFourCharacterCode& id) {
    if (id == IffId::COMM) return std::make_unique<CCommonChunk>();
    if (id == IffId::SSND) return std::make_unique<CSoundDataChunk>(m_loadFlag);
    if (id == IffId::MARK) return std::make_unique<CMarkerChunk>();
    if (id == IffId::INST) return std::make_unique<CInstrumentChunk>();
    if (id == IffId::MIDI) return std::make_unique<CMidiDataChunk>();
    if (id == IffId::AESD) return std::make_unique<CAudioRecordingChunk>();
    if (id == IffId::APPL) return std::make_unique<CApplicationSpecificChunk>();
    if (id == IffId::COMT) return std::make_unique<CCommentsChunk>();
    if (id == IffId::NAME || id == IffId::AUTH || id == IffId::COPYRIGHT || id == IffId::ANNO)
        return std::make_unique<CTextChunk>(id);
    return nullptr;
}

CFormAiffDto::CFormAiffDto(boost::shared_ptr<CIffContainerChunk::IChunkFactory> factory)
    : CIffDto<CFormAiffFileChunks::CFormAiffChunk>(std::move(factory)) {}

}  // namespace SL
