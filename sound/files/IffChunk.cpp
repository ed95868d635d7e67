#include "sound/files/IffChunk.h"

#include "sound/files/ChunkFields.h"

#include <algorithm>
#include <exception>
#include <istream>
#include <limits>
#include <ostream>

namespace SL {

namespace {

constexpr std::int64_t kMaxPosition = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t kHeaderBytes = 8;

// The get position, -1 when the stream is failed; unlike tellg it sets no state flag.
std::int64_t GetPosition(std::istream& in) {
    if (in.fail() || in.rdbuf() == nullptr) return -1;
    return static_cast<std::int64_t>(in.rdbuf()->pubseekoff(0, std::ios_base::cur, std::ios_base::in));
}

}  // namespace

std::int64_t StreamBytesLeft(std::istream& in) {
    std::streambuf* buffer = in.rdbuf();
    if (in.fail() || buffer == nullptr) return 0;
    // Straight on the buffer, so that the stream's state flags are not touched.
    const std::streampos here = buffer->pubseekoff(0, std::ios_base::cur, std::ios_base::in);
    if (here == std::streampos(-1)) return 0;
    const std::streampos end = buffer->pubseekoff(0, std::ios_base::end, std::ios_base::in);
    buffer->pubseekpos(here, std::ios_base::in);
    if (end == std::streampos(-1)) return 0;
    return std::max<std::int64_t>(0, static_cast<std::int64_t>(end - here));
}

// --- four-character code ---

bool CIffChunk::CFourCharacterCode::Read(std::istream& in) {
    char bytes[4];
    if (!in.read(bytes, 4)) return false;
    m_text.assign(bytes, std::find(bytes, bytes + 4, '\0'));
    return true;
}

bool CIffChunk::CFourCharacterCode::Write(std::ostream& out) {
    char bytes[4] = {0, 0, 0, 0};
    std::copy_n(m_text.begin(), std::min<std::size_t>(m_text.size(), 4), bytes);
    out.write(bytes, 4);
    return !out.fail();
}

// --- header ---

CIffChunk::CHeader::CHeader(const CHeader& other)
    : IStreamable(other),
      GT::CEndianed(other.GetByteOrder()),
      m_id(other.m_id),
      m_size(other.m_size),
      m_dataPosition(other.m_dataPosition) {}

CIffChunk::CHeader& CIffChunk::CHeader::operator=(const CHeader& other) {
    m_id = other.m_id;
    m_size = other.m_size;
    m_dataPosition = other.m_dataPosition;
    return *this;
}

bool CIffChunk::CHeader::Read(std::istream& in) {
    m_id.Read(in);
    std::uint32_t size = static_cast<std::uint32_t>(m_size);
    GT::CEndianedStreamUtilities(GetByteOrder()).Read32(in, size);
    m_size = static_cast<std::int32_t>(size);
    const std::int64_t position = GetPosition(in);
    m_dataPosition = position > kMaxPosition ? -1 : static_cast<std::int32_t>(position);
    return !in.fail();
}

bool CIffChunk::CHeader::Write(std::ostream& out) {
    if (!m_id.Write(out) || !WriteField(out, GetByteOrder(), m_size)) return false;
    const std::int64_t position = static_cast<std::int64_t>(out.tellp());
    if (position < 0 || position > kMaxPosition) {
        out.setstate(std::ios_base::failbit);
        return false;
    }
    m_dataPosition = static_cast<std::int32_t>(position);
    return true;
}

bool CIffChunk::CHeader::PatchSize(std::ostream& out) {
    const std::int64_t end = static_cast<std::int64_t>(out.tellp());
    const std::int64_t size = end - m_dataPosition;
    if (end < 0 || size < 0 || size > kMaxPosition) {
        out.setstate(std::ios_base::failbit);
        return false;
    }
    m_size = static_cast<std::int32_t>(size);
    out.seekp(m_dataPosition - 4);
    WriteField(out, GetByteOrder(), m_size);
    out.seekp(end);
    return !out.fail();
}

bool CIffChunk::CHeader::Skip(std::istream& in) const {
    in.seekg(GetEnd() + (m_size & 1));
    return !in.fail();
}

bool CIffChunk::CHeader::Contains(const CHeader& child) const {
    const std::int64_t childStart = std::int64_t(child.m_dataPosition) - kHeaderBytes;
    // A child whose body passes this end is accepted: it is read or skipped, and the walk
    // ends after it.
    return childStart >= m_dataPosition && childStart < GetEnd() && child.m_dataPosition <= GetEnd();
}

// --- chunk ---

CIffChunk::CIffChunk(int byteOrder, const CFourCharacterCode& id) : GT::CEndianed(byteOrder), m_header(byteOrder, id) {}

CIffChunk::~CIffChunk() = default;

void CIffChunk::SetByteOrder(int order) {
    GT::CEndianed::SetByteOrder(order);
    m_header.SetByteOrder(order);
}

bool CIffChunk::Read(std::istream& in) {
    try {
        return ReadHeader(in) && ReadData(in);
    } catch (const std::exception&) {
        return false;
    }
}

bool CIffChunk::Write(std::ostream& out) {
    if (!m_header.Write(out) || !WriteData(out) || !m_header.PatchSize(out)) return false;
    if (m_header.GetSize() & 1) out.put(static_cast<char>(0xFF));
    return !out.fail();
}

bool CIffChunk::ReadHeader(std::istream& in) {
    CHeader header(GetByteOrder());
    if (!header.Read(in)) return false;
    if (header.GetSize() < 0 || header.GetDataPosition() < 0 || header.GetEnd() > kMaxPosition
        || header.GetId() != m_header.GetId())
        return false;
    m_header = header;
    return true;
}

std::int64_t CIffChunk::GetBodyBytesLeft(std::istream& in) const {
    const std::int64_t position = GetPosition(in);
    if (position < 0) return 0;
    return std::max<std::int64_t>(0, std::min(m_header.GetEnd() - position, StreamBytesLeft(in)));
}

// --- raw data ---

CStreamableData::CStreamableData(std::uint8_t loadFlag)
    : m_loadFlag(loadFlag), m_data(new std::vector<std::uint8_t>()) {}

CStreamableData::~CStreamableData() = default;

bool CStreamableData::Read(std::istream& in) {
    const std::int32_t length = GetDataLength();
    if (length < 0 || in.fail()) return false;
    if (m_loadFlag) {
        if (length > StreamBytesLeft(in)) return false;
        m_data->assign(static_cast<std::size_t>(length), 0);
        if (length > 0) in.read(reinterpret_cast<char*>(m_data->data()), length);
    } else {
        m_locatedLength = length;
        // A body that runs past the end of the stream stays located with its stated length;
        // the walk then ends at the stream's end, as it does for a file.
        const std::int64_t step = std::min<std::int64_t>(length, StreamBytesLeft(in));
        in.seekg(step, std::ios_base::cur);
    }
    return !in.fail();
}

bool CStreamableData::Write(std::ostream& out) {
    if (m_loadFlag) {
        if (!m_data->empty())
            out.write(reinterpret_cast<const char*>(m_data->data()), static_cast<std::streamsize>(m_data->size()));
    } else {
        if (m_locatedLength < 0) return false;
        out.seekp(m_locatedLength, std::ios_base::cur);
    }
    return !out.fail();
}

CIffDataChunk::CIffDataChunk(int byteOrder, const CFourCharacterCode& id, std::uint8_t loadFlag)
    : CIffChunk(byteOrder, id), CStreamableData(loadFlag) {}

// --- container ---

CIffContainerChunk::CIffContainerChunk(int byteOrder, const CFourCharacterCode& id,
                                       boost::shared_ptr<IChunkFactory> factory)
    : CIffChunk(byteOrder, id), m_factory(std::move(factory)) {}

CIffContainerChunk::CIffContainerChunk(int byteOrder, const CFourCharacterCode& id, const CFourCharacterCode& formType,
                                       boost::shared_ptr<IChunkFactory> factory)
    : CIffChunk(byteOrder, id), m_formType(formType), m_factory(std::move(factory)) {}

bool CIffContainerChunk::Read(std::istream& in) {
    try {
        m_children.clear();
        return ReadHeader(in) && ReadFormType(in) && ReadChildren(in);
    } catch (const std::exception&) {
        return false;
    }
}

bool CIffContainerChunk::ReadChildren(std::istream& in) {
    CSubChunkIterator walker(in, this);
    walker.First();
    int walked = 0;
    while (walker.GetFlags() == 0) {
        if (++walked > kMaxChildren) return false;
        boost::shared_ptr<CIffChunk> child;
        if (!walker.CreateChild(child)) return false;
        if (child) m_children.push_back(child);
        walker.Next();
    }
    return true;
}

bool CIffContainerChunk::ReadFormType(std::istream& in) {
    if (!HasFormType()) return true;
    CFourCharacterCode formType;
    if (!formType.Read(in) || formType != m_formType) return false;
    return !in.fail();
}

bool CIffContainerChunk::ReadData(std::istream&) { return false; }

bool CIffContainerChunk::WriteData(std::ostream& out) {
    if (HasFormType() && !m_formType.Write(out)) return false;
    for (const ChunkPointer& child : m_children) {
        if (!child->Write(out)) return false;
    }
    return !out.fail();
}

CIffChunk* CIffContainerChunk::FindChunk(const CFourCharacterCode& id) const {
    for (const ChunkPointer& child : m_children) {
        if (child->GetHeader().GetId() == id) return child.get();
    }
    return nullptr;
}

// --- walker ---

CSubChunkIterator::CSubChunkIterator(std::istream& in, CIffContainerChunk* parent) : m_stream(in), m_parent(parent) {}

CSubChunkIterator::~CSubChunkIterator() = default;

bool CSubChunkIterator::ReadParent(CIffContainerChunk& parent) {
    if (!parent.ReadHeader(m_stream) || !parent.ReadFormType(m_stream)) return false;
    m_parent = &parent;
    return true;
}

void CSubChunkIterator::First() {
    m_current.reset();
    m_flags = FLAG_INVALID;
    if (m_parent == nullptr) return;
    const CIffChunk::CHeader& parent = m_parent->GetHeader();
    m_stream.seekg(std::int64_t(parent.GetDataPosition()) + (m_parent->HasFormType() ? 4 : 0));
    if (m_stream.fail()) return;
    PositionAt(GetPosition(m_stream));
    if (m_flags == FLAG_END) m_flags = FLAG_END | FLAG_INVALID;
}

void CSubChunkIterator::Next() {
    if (m_flags != 0) return;
    const bool skipped = m_current->Skip(m_stream);
    m_current.reset();
    if (!skipped) {
        m_flags |= FLAG_INVALID;
        return;
    }
    PositionAt(GetPosition(m_stream));
}

void CSubChunkIterator::PositionAt(std::int64_t position) {
    const CIffChunk::CHeader& parent = m_parent->GetHeader();
    if (position >= parent.GetDataPosition() && position < parent.GetEnd()) {
        m_current = ReadSubHeader();
        m_flags = m_current ? 0 : FLAG_INVALID;
    } else {
        m_flags = FLAG_END;
    }
}

std::unique_ptr<CIffChunk::CHeader> CSubChunkIterator::ReadSubHeader() {
    auto header = std::make_unique<CIffChunk::CHeader>(m_parent->GetByteOrder());
    if (!header->Read(m_stream) || header->GetSize() < 0 || header->GetDataPosition() < 0
        || !m_parent->GetHeader().Contains(*header))
        return nullptr;
    m_stream.seekg(std::int64_t(header->GetDataPosition()) - kHeaderBytes);
    if (m_stream.fail()) return nullptr;
    return header;
}

bool CSubChunkIterator::CreateChild(boost::shared_ptr<CIffChunk>& child) {
    child.reset();
    if (m_flags != 0) return false;
    const boost::shared_ptr<CIffContainerChunk::IChunkFactory> factory = m_parent->GetChunkFactory();
    if (!factory) return true;
    std::unique_ptr<CIffChunk> created = factory->Create(m_current->GetId());
    if (!created) return true;
    // A child that reaches past its container's end is still read, bounded by its own size and
    // the stream: files whose container size is too small load, and the walk ends after it.
    if (!created->Read(m_stream)) return false;
    if (GetPosition(m_stream) > m_current->GetEnd()) return false;
    child.reset(created.release());
    return true;
}

// --- position guard ---

CStreamPositionGuard::CStreamPositionGuard(std::istream& in)
    : m_stream(in), m_state(in.rdstate()), m_position(GetPosition(in)) {}

CStreamPositionGuard::~CStreamPositionGuard() {
    // The position comes back even when the guarded reads hit the end of the stream.
    m_stream.clear();
    if (m_position >= 0) m_stream.seekg(m_position);
    m_stream.clear(m_state);
}

}  // namespace SL
