#pragma once

// IFF-style chunk framework: four-character codes, chunk headers, chunks that read and write
// their own bodies, raw data chunks (loaded or only located), containers whose children a
// chunk factory creates while a walker moves through the stream.
//
// Readers never trust a size or count from the file: positions and sums are computed in 64
// bits, a chunk whose end lies beyond 2 GiB - 1 is refused, and no allocation or read is made
// for more bytes than the chunk and the stream hold. Bad input ends a read with false, never
// with an exception.

#include "general_tools/EndianStreams.h"

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <ios>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace SL {

class IStreamable {
public:
    virtual ~IStreamable() = default;
    // Each answers whether the stream is still good (neither failbit nor badbit) afterwards.
    virtual bool Read(std::istream& in) = 0;
    virtual bool Write(std::ostream& out) = 0;

protected:
    IStreamable() = default;
    IStreamable(const IStreamable&) = default;
    IStreamable& operator=(const IStreamable&) = default;
};

// Bytes between the get position and the end of the stream; 0 when the stream is failed or
// cannot tell. The position and state are left as they were.
std::int64_t StreamBytesLeft(std::istream& in);

class CIffChunk : public GT::CEndianed, public virtual IStreamable {
public:
    class CFourCharacterCode : public virtual IStreamable {
    public:
        // Four zero bytes: "none" where a form type is optional.
        CFourCharacterCode() = default;
        CFourCharacterCode(const char* text) : m_text(text) {}
        CFourCharacterCode(std::string text) : m_text(std::move(text)) {}
        CFourCharacterCode(const CFourCharacterCode&) = default;
        CFourCharacterCode& operator=(const CFourCharacterCode&) = default;

        // Exactly 4 bytes; the text stops at the first zero byte.
        bool Read(std::istream& in) override;
        // The text's first 4 bytes, zero-filled to 4.
        bool Write(std::ostream& out) override;

        const std::string& GetText() const { return m_text; }
        bool IsNone() const { return m_text.empty() || m_text[0] == '\0'; }
        bool operator==(const CFourCharacterCode& other) const { return m_text == other.m_text; }
        bool operator!=(const CFourCharacterCode& other) const { return m_text != other.m_text; }

    private:
        std::string m_text;
    };

    // Id, size (body bytes without the pad byte) and the stream offset of the first body byte,
    // which is taken from the stream, not stored in the file.
    class CHeader : public GT::CEndianed, public virtual IStreamable {
    public:
        explicit CHeader(int byteOrder, const CFourCharacterCode& id = CFourCharacterCode())
            : GT::CEndianed(byteOrder), m_id(id) {}
        CHeader(const CHeader& other);
        // Takes id, size and data position; keeps this header's byte order.
        CHeader& operator=(const CHeader& other);

        // Id and size; the data position becomes the get position (-1 when failed or beyond
        // 2 GiB - 1).
        bool Read(std::istream& in) override;
        // Id and the current size; the data position becomes the put position.
        bool Write(std::ostream& out) override;

        // Size = put position - data position, written into the size field; the put position
        // returns to the end of the body.
        bool PatchSize(std::ostream& out);
        // Seeks past the body and, for an odd size, one more byte.
        bool Skip(std::istream& in) const;
        // Whether a sub-header may be walked as a child: its header lies within this body.
        bool Contains(const CHeader& child) const;

        const CFourCharacterCode& GetId() const { return m_id; }
        void SetId(const CFourCharacterCode& id) { m_id = id; }
        std::int32_t GetSize() const { return m_size; }
        void SetSize(std::int32_t size) { m_size = size; }
        std::int32_t GetDataPosition() const { return m_dataPosition; }
        void SetDataPosition(std::int32_t position) { m_dataPosition = position; }
        // Data position + size, in 64 bits.
        std::int64_t GetEnd() const { return std::int64_t(m_dataPosition) + m_size; }

    private:
        CFourCharacterCode m_id;
        std::int32_t m_size = 0;
        std::int32_t m_dataPosition = 0;
    };

    CIffChunk(int byteOrder, const CFourCharacterCode& id);
    ~CIffChunk() override;

    // The header follows the chunk's byte order.
    void SetByteOrder(int order) override;

    // Body only; the header is read and written by Read and Write.
    virtual bool ReadData(std::istream& in) = 0;
    virtual bool WriteData(std::ostream& out) = 0;

    // Header, then body, from the current position.
    bool Read(std::istream& in) override;
    // Header, body, size patch, and a 0xFF pad byte after an odd body; stops at the first
    // failing step.
    bool Write(std::ostream& out) override;
    // Fails on a failed stream, a negative size or position, a chunk ending beyond 2 GiB - 1,
    // or another id; the header changes only on success.
    bool ReadHeader(std::istream& in);

    const CHeader& GetHeader() const { return m_header; }
    CHeader& GetHeader() { return m_header; }

protected:
    // What a count or length read from the body may still claim: the bytes from the get
    // position to the end of this chunk's body, and no more than the stream holds.
    std::int64_t GetBodyBytesLeft(std::istream& in) const;

private:
    CHeader m_header;
};

// Raw body bytes: loaded into memory (load flag 1) or only located (0).
class CStreamableData : public virtual IStreamable {
public:
    explicit CStreamableData(std::uint8_t loadFlag);
    ~CStreamableData() override;

    // Body bytes that belong to the raw data; negative when the chunk is too short.
    virtual std::int32_t GetDataLength() const = 0;

    // Load flag 1: GetDataLength bytes into the data; 0: the length becomes the located length
    // and the get position moves past it (not beyond the stream's end), reading nothing.
    // A negative length, or a length to load beyond the stream's end, fails without reading.
    bool Read(std::istream& in) override;
    // Load flag 1: the bytes held; 0: the put position moves forward by the located length,
    // keeping bytes already in a file opened for update.
    bool Write(std::ostream& out) override;

    std::uint8_t GetLoadFlag() const { return m_loadFlag; }
    void SetLoadFlag(std::uint8_t loadFlag) { m_loadFlag = loadFlag; }
    std::int32_t GetLocatedLength() const { return m_locatedLength; }
    void SetLocatedLength(std::int32_t length) { m_locatedLength = length; }
    const boost::shared_ptr<std::vector<std::uint8_t>>& GetData() const { return m_data; }

private:
    std::uint8_t m_loadFlag;
    std::int32_t m_locatedLength = 0;
    boost::shared_ptr<std::vector<std::uint8_t>> m_data;
};

// A chunk whose whole body is raw data. Formats with fixed fields before the raw bytes read
// those first and report a shorter data length.
class CIffDataChunk : public CIffChunk, public CStreamableData {
public:
    CIffDataChunk(int byteOrder, const CFourCharacterCode& id, std::uint8_t loadFlag);

    std::int32_t GetDataLength() const override { return GetHeader().GetSize(); }
    bool ReadData(std::istream& in) override { return CStreamableData::Read(in); }
    bool WriteData(std::ostream& out) override { return CStreamableData::Write(out); }
    bool Read(std::istream& in) override { return CIffChunk::Read(in); }
    bool Write(std::ostream& out) override { return CIffChunk::Write(out); }
};

class CIffContainerChunk : public CIffChunk {
public:
    class IChunkFactory {
    public:
        virtual ~IChunkFactory() = default;
        // A new, empty chunk of the class that reads this id, or none: the chunk is skipped.
        virtual std::unique_ptr<CIffChunk> Create(const CFourCharacterCode& id) = 0;
    };
    typedef boost::shared_ptr<CIffChunk> ChunkPointer;
    typedef std::vector<ChunkPointer> ChunkList;

    // Children walked (kept or skipped) that no real file reaches: a container with more is
    // refused, so that a file of countless tiny chunks cannot make us hold more objects than
    // this, nor walk for ever.
    static constexpr int kMaxChildren = 50000;

    CIffContainerChunk(int byteOrder, const CFourCharacterCode& id, boost::shared_ptr<IChunkFactory> factory);
    CIffContainerChunk(int byteOrder, const CFourCharacterCode& id, const CFourCharacterCode& formType,
                       boost::shared_ptr<IChunkFactory> factory);

    // Header and form type, then every child the factory knows, in file order (replacing any
    // held before). The walk ends without error at the container's end or at a sub-header
    // that is incomplete or out of range; a known child that cannot be read or reads past its
    // own end fails the read, and so do more than kMaxChildren children. A child whose body
    // reaches past the container's end is read (a container size that is too small) and ends
    // the walk.
    bool Read(std::istream& in) override;
    // No form type: succeeds without reading; otherwise the code read must equal it.
    bool ReadFormType(std::istream& in);
    // Never used: children are read by the walk.
    bool ReadData(std::istream& in) override;
    // The form type when there is one, then every child in order.
    bool WriteData(std::ostream& out) override;

    // The first child with this id, or null; the container keeps ownership.
    CIffChunk* FindChunk(const CFourCharacterCode& id) const;
    template <class T>
    T* FindChunkAs(const CFourCharacterCode& id) const {
        return dynamic_cast<T*>(FindChunk(id));
    }

    const CFourCharacterCode& GetFormType() const { return m_formType; }
    bool HasFormType() const { return !m_formType.IsNone(); }
    const ChunkList& GetChildren() const { return m_children; }
    ChunkList& GetChildren() { return m_children; }
    void AppendChild(const ChunkPointer& child) { m_children.push_back(child); }
    boost::shared_ptr<IChunkFactory> GetChunkFactory() const { return m_factory; }

private:
    bool ReadChildren(std::istream& in);

    CFourCharacterCode m_formType;
    ChunkList m_children;
    boost::shared_ptr<IChunkFactory> m_factory;
};

// Walks the children of one container in a stream.
class CSubChunkIterator {
public:
    enum : int { FLAG_END = 1, FLAG_INVALID = 2 };

    explicit CSubChunkIterator(std::istream& in, CIffContainerChunk* parent = nullptr);
    ~CSubChunkIterator();
    CSubChunkIterator(const CSubChunkIterator&) = delete;
    CSubChunkIterator& operator=(const CSubChunkIterator&) = delete;

    // Reads the container's header and form type; on success it becomes the parent.
    bool ReadParent(CIffContainerChunk& parent);
    // Positions on the parent's first child.
    void First();
    // Skips the current child and positions on the next one.
    void Next();
    // Creates and reads the current child when the factory knows its id; an unknown id
    // succeeds with no child. Fails for a child that cannot be read or reads past its own end.
    bool CreateChild(boost::shared_ptr<CIffChunk>& child);

    // 0 positioned on a child; FLAG_END the parent's end was reached; FLAG_INVALID not started,
    // or a sub-header that cannot be read or was rejected.
    int GetFlags() const { return m_flags; }
    const CIffChunk::CHeader* GetCurrentHeader() const { return m_current.get(); }

private:
    void PositionAt(std::int64_t position);
    std::unique_ptr<CIffChunk::CHeader> ReadSubHeader();

    std::istream& m_stream;
    CIffContainerChunk* m_parent;
    std::unique_ptr<CIffChunk::CHeader> m_current;
    int m_flags = FLAG_INVALID;
};

// Remembers a stream's position and state flags and puts both back when it ends.
class CStreamPositionGuard {
public:
    explicit CStreamPositionGuard(std::istream& in);
    ~CStreamPositionGuard();
    CStreamPositionGuard(const CStreamPositionGuard&) = delete;
    CStreamPositionGuard& operator=(const CStreamPositionGuard&) = delete;

private:
    std::istream& m_stream;
    std::ios_base::iostate m_state;
    std::int64_t m_position;
};

}  // namespace SL
