// The chunk framework: byte layouts in both byte orders, the walk's endings, probing, raw data
// chunks (loaded, located, kept on update) and the file data source.

#include "sound/files/FileDataSource.h"
#include "sound/files/IffChunk.h"
#include "sound/files/IffDto.h"

#include "tests/support/ByteBuilder.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <boost/enable_shared_from_this.hpp>
#include <boost/make_shared.hpp>

#include <fstream>
#include <functional>
#include <sstream>

namespace {

using gbxtest::ByteBuilder;
using gbxtest::MemoryStream;
using gbxtest::StreamBytes;
using SL::CIffChunk;
using SL::CIffContainerChunk;
using Code = SL::CIffChunk::CFourCharacterCode;

constexpr int kOrders[] = {0, 1};

// Raw body chunk, whatever its id.
class CRawChunk : public SL::CIffDataChunk {
public:
    CRawChunk(int order, const Code& id, uint8_t loadFlag) : SL::CIffDataChunk(order, id, loadFlag) {}
};

// Always reads a 32-bit number, whatever its size says.
class CFixedChunk : public CIffChunk {
public:
    explicit CFixedChunk(int order) : CIffChunk(order, "FIX4") {}
    bool ReadData(std::istream& in) override {
        GT::CEndianedStreamUtilities(GetByteOrder()).Read32(in, value);
        return !in.fail();
    }
    bool WriteData(std::ostream& out) override {
        GT::CEndianedStreamUtilities(GetByteOrder()).Write32(out, value);
        return !out.fail();
    }
    uint32_t value = 0;
};

// Knows "abcd" and "data" (raw), "FIX4" and the nested container "LIST"/"INFO".
class CTestFactory : public CIffContainerChunk::IChunkFactory, public boost::enable_shared_from_this<CTestFactory> {
public:
    CTestFactory(int order, uint8_t loadFlag) : m_order(order), m_loadFlag(loadFlag) {}
    std::unique_ptr<CIffChunk> Create(const Code& id) override {
        if (id == Code("abcd") || id == Code("data")) return std::make_unique<CRawChunk>(m_order, id, m_loadFlag);
        if (id == Code("FIX4")) return std::make_unique<CFixedChunk>(m_order);
        if (id == Code("LIST"))
            return std::make_unique<CIffContainerChunk>(m_order, id, Code("INFO"), shared_from_this());
        return nullptr;
    }

private:
    int m_order;
    uint8_t m_loadFlag;
};

class CTestContainer : public CIffContainerChunk {
public:
    explicit CTestContainer(boost::shared_ptr<IChunkFactory> factory, int order)
        : CIffContainerChunk(order, "RIFF", "TEST", std::move(factory)) {}
};

// The DTO template needs a container constructible from a factory alone.
template <int Order>
class CTestFile : public CTestContainer {
public:
    explicit CTestFile(boost::shared_ptr<IChunkFactory> factory) : CTestContainer(std::move(factory), Order) {}
};

boost::shared_ptr<CIffContainerChunk::IChunkFactory> Factory(int order, uint8_t loadFlag) {
    return boost::shared_ptr<CTestFactory>(new CTestFactory(order, loadFlag));
}

// A chunk as written: id, size, body, 0xFF pad after an odd body; size defaults to the body's.
std::vector<uint8_t> Chunk(int order, const std::string& id, const std::vector<uint8_t>& body, int64_t size = -1) {
    ByteBuilder b;
    b.Text(id).U32(order, uint32_t(size < 0 ? int64_t(body.size()) : size)).Bytes(body);
    if (body.size() % 2) b.U8(0xFF);
    return b;
}

std::vector<uint8_t> Container(int order, const std::vector<uint8_t>& children, int64_t size = -1) {
    return ByteBuilder()
        .Text("RIFF")
        .U32(order, uint32_t(size < 0 ? int64_t(children.size()) + 4 : size))
        .Text("TEST")
        .Bytes(children);
}

std::vector<uint8_t> Join(std::initializer_list<std::vector<uint8_t>> parts) {
    ByteBuilder b;
    for (const auto& p : parts) b.Bytes(p);
    return b;
}

std::string ChildIds(const CIffContainerChunk& container) {
    std::string ids;
    for (const auto& child : container.GetChildren())
        ids += (ids.empty() ? "" : ",") + child->GetHeader().GetId().GetText();
    return ids;
}

std::vector<uint8_t> DataOf(const CIffChunk* chunk) {
    auto* raw = dynamic_cast<const CRawChunk*>(chunk);
    return raw ? *raw->GetData() : std::vector<uint8_t>{99};
}

// --- writing ---

TEST(IffChunkWrite, HeaderInBothByteOrdersWithUncountedPad) {
    const struct {
        int order;
        std::vector<uint8_t> expected;
    } cases[] = {
        {0, ByteBuilder().Text("abcd").Bytes({0, 0, 0, 3, 1, 2, 3, 0xFF})},
        {1, ByteBuilder().Text("abcd").Bytes({3, 0, 0, 0, 1, 2, 3, 0xFF})},
    };
    for (const auto& c : cases) {
        CRawChunk chunk(c.order, "abcd", 1);
        *chunk.GetData() = {1, 2, 3};
        auto stream = MemoryStream();
        ASSERT_TRUE(chunk.Write(stream));
        EXPECT_EQ(StreamBytes(stream), c.expected) << "order " << c.order;
        EXPECT_EQ(chunk.GetHeader().GetSize(), 3);
        EXPECT_EQ(chunk.GetHeader().GetDataPosition(), 8);
        EXPECT_EQ(int64_t(stream.tellp()), 12) << "the stream is left after the pad byte";
    }
}

TEST(IffChunkWrite, ContainerSizesCountChildrenAndTheirPads) {
    for (int order : kOrders) {
        CTestContainer root(Factory(order, 1), order);
        auto odd = boost::make_shared<CRawChunk>(order, "abcd", 1);
        *odd->GetData() = {7, 7, 7};
        auto list = boost::make_shared<CIffContainerChunk>(order, "LIST", "INFO", Factory(order, 1));
        auto inner = boost::make_shared<CRawChunk>(order, "data", 1);
        *inner->GetData() = {9};
        list->AppendChild(inner);
        root.AppendChild(odd);
        root.AppendChild(list);

        auto stream = MemoryStream();
        ASSERT_TRUE(root.Write(stream));
        const auto listBytes = ByteBuilder().Text("LIST").U32(order, 14).Text("INFO").Bytes(Chunk(order, "data", {9}));
        const auto expected = Container(order, Join({Chunk(order, "abcd", {7, 7, 7}), listBytes}));
        EXPECT_EQ(StreamBytes(stream), expected) << "order " << order;
        EXPECT_EQ(root.GetHeader().GetSize(), 4 + 12 + 22);
        EXPECT_EQ(list->GetHeader().GetSize(), 14);
    }
}

TEST(IffChunkWrite, EmptyContainerWithFormTypeHasSizeFour) {
    CTestContainer root(Factory(1, 1), 1);
    auto stream = MemoryStream();
    ASSERT_TRUE(root.Write(stream));
    EXPECT_EQ(StreamBytes(stream), ByteBuilder().Text("RIFF").Le32(4).Text("TEST").Get());
}

TEST(IffChunkWrite, ReadChunkWrittenAgainGetsItsSizePatched) {
    auto stream = MemoryStream(Chunk(1, "abcd", {1, 2, 3, 4}));
    CRawChunk chunk(1, "abcd", 1);
    ASSERT_TRUE(chunk.Read(stream));
    chunk.GetData()->resize(1);
    auto out = MemoryStream();
    ASSERT_TRUE(chunk.Write(out));
    EXPECT_EQ(StreamBytes(out), Chunk(1, "abcd", {1}));
}

TEST(IffChunkWrite, LocatedBodyKeepsTheBytesOfAFileOpenedForUpdate) {
    // The samples are already in place; only the header is (re)written.
    auto stream = MemoryStream(ByteBuilder().Fill(8, 0).Bytes({5, 6, 7, 8, 9}).U8(0xFF));
    CRawChunk chunk(0, "data", 0);
    chunk.SetLocatedLength(5);
    ASSERT_TRUE(chunk.Write(stream));
    EXPECT_EQ(StreamBytes(stream), Chunk(0, "data", {5, 6, 7, 8, 9}));
}

TEST(IffChunkWrite, WriteReadRoundTripInBothByteOrders) {
    for (int order : kOrders) {
        CTestContainer written(Factory(order, 1), order);
        auto a = boost::make_shared<CRawChunk>(order, "abcd", 1);
        *a->GetData() = {1, 2, 3, 4, 5};
        auto f = boost::make_shared<CFixedChunk>(order);
        f->value = 0x01020304;
        written.AppendChild(a);
        written.AppendChild(f);
        auto stream = MemoryStream();
        ASSERT_TRUE(written.Write(stream));

        stream.seekg(0);
        CTestContainer read(Factory(order, 1), order);
        ASSERT_TRUE(read.Read(stream));
        EXPECT_EQ(ChildIds(read), "abcd,FIX4");
        EXPECT_EQ(DataOf(read.FindChunk("abcd")), (std::vector<uint8_t>{1, 2, 3, 4, 5}));
        EXPECT_EQ(dynamic_cast<CFixedChunk*>(read.FindChunk("FIX4"))->value, 0x01020304u);
        EXPECT_EQ(read.FindChunk("abcd")->GetHeader().GetDataPosition(), 20);
    }
}

// --- the walk's endings ---

struct WalkCase {
    const char* name;
    std::function<std::vector<uint8_t>(int order)> file;
    uint8_t loadFlag;
    bool readOk;
    const char* children;  // ids of the children read, in order
};

void PrintTo(const WalkCase& c, std::ostream* os) { *os << c.name; }

const std::vector<uint8_t> kBody3 = {'x', 'y', 'z'};

const WalkCase kWalkCases[] = {
    {"TruncatedHeader",
     [](int o) {
         return Join({Container(o, {}, 4 + 12 + 8), Chunk(o, "abcd", kBody3), ByteBuilder().Text("data").U8(0)});
     },
     1, true, "abcd"},
    {"IncompleteHeaderInsideTheContainer",
     [](int o) {
         return Container(o, Join({Chunk(o, "abcd", kBody3), ByteBuilder().Text("dat")}));
     },
     1, true, "abcd"},
    {"HeaderStraddlingTheContainerEnd",
     [](int o) {
         return Join({Container(o, {}, 4 + 12 + 2), Chunk(o, "abcd", kBody3), Chunk(o, "data", {1, 2})});
     },
     1, true, "abcd"},
    {"IdWithAZeroByteIsSkipped",
     [](int o) {
         return Container(o, Join({Chunk(o, std::string("ab\0d", 4), {1, 2}), Chunk(o, "abcd", kBody3)}));
     },
     1, true, "abcd"},
    {"UnknownOddChunkSkippedWithItsPad",
     [](int o) {
         return Container(o, Join({Chunk(o, "junk", kBody3), Chunk(o, "abcd", kBody3)}));
     },
     1, true, "abcd"},
    {"ContainerLargerThanTheFileLocated",
     [](int o) {
         return Join(
             {Container(o, {}, 1000), Chunk(o, "abcd", kBody3), ByteBuilder().Text("data").U32(o, 100).Fill(10, 1)});
     },
     0, true, "abcd,data"},
    {"ContainerLargerThanTheFileLoaded",
     [](int o) {
         return Join(
             {Container(o, {}, 1000), Chunk(o, "abcd", kBody3), ByteBuilder().Text("data").U32(o, 100).Fill(10, 1)});
     },
     1, false, ""},
    {"ContainerLargerThanTheFileWithCompleteChunks",
     [](int o) {
         return Join({Container(o, {}, 1000), Chunk(o, "abcd", kBody3), Chunk(o, "data", {4, 5})});
     },
     1, true, "abcd,data"},
    {"ChildThatReadsPastItsEnd",
     [](int o) {
         return Container(o, Join({Chunk(o, "FIX4", {1, 2}), Chunk(o, "abcd", kBody3)}));
     },
     1, false, ""},
    {"KnownChildPastTheContainerEnd",
     [](int o) {
         return Join({Container(o, {}, 4 + 8 + 2), ByteBuilder().Text("abcd").U32(o, 6).Fill(6, 1)});
     },
     0, true, "abcd"},
    {"KnownChildPastTheContainerEndLoadedAndEndsTheWalk",
     [](int o) {
         return Join({Container(o, {}, 4 + 12 + 8 + 2), Chunk(o, "abcd", kBody3), Chunk(o, "data", {1, 2, 3, 4}),
                      Chunk(o, "abcd", {5, 6})});
     },
     1, true, "abcd,data"},
    {"KnownChildPastTheContainerEndAndTheFile",
     [](int o) {
         return Join({Container(o, {}, 4 + 8 + 2), ByteBuilder().Text("data").U32(o, 6).Fill(4, 1)});
     },
     1, false, ""},
    {"UnknownChildPastTheContainerEnd",
     [](int o) {
         return Join({Container(o, {}, 4 + 12 + 8 + 2), Chunk(o, "abcd", kBody3),
                      ByteBuilder().Text("junk").U32(o, 6).Fill(6, 1)});
     },
     1, true, "abcd"},
    {"NegativeChildSize",
     [](int o) {
         return Container(o,
                          Join({Chunk(o, "abcd", kBody3), ByteBuilder().Text("junk").U32(o, 0x80000000u).Fill(4, 0)}));
     },
     1, true, "abcd"},
    {"KnownChildWhosePositionPlusSizeOverflows",
     [](int o) {
         return Container(o,
                          Join({Chunk(o, "abcd", kBody3), ByteBuilder().Text("data").U32(o, 0x7FFFFFF0u).Fill(4, 0)}));
     },
     0, false, ""},
    {"UnknownChildWhosePositionPlusSizeOverflows",
     [](int o) {
         return Container(o,
                          Join({Chunk(o, "abcd", kBody3), ByteBuilder().Text("junk").U32(o, 0x7FFFFFF0u).Fill(4, 0)}));
     },
     0, true, "abcd"},
    {"BytesAfterTheContainerAreNotWalked",
     [](int o) {
         return Join({Container(o, Chunk(o, "abcd", kBody3)), Chunk(o, "data", {1})});
     },
     1, true, "abcd"},
    {"EmptyContainer", [](int o) { return Container(o, {}); }, 1, true, ""},
    {"NestedContainer",
     [](int o) {
         auto list = ByteBuilder().Text("LIST").U32(o, 4 + 12).Text("INFO").Bytes(Chunk(o, "abcd", kBody3)).Get();
         return Container(o, Join({list, Chunk(o, "data", {1, 2})}));
     },
     1, true, "LIST,data"},
    {"WrongFormType", [](int o) { return ByteBuilder().Text("RIFF").U32(o, 4).Text("WAVE").Get(); }, 1, false, ""},
    {"WrongContainerId", [](int o) { return ByteBuilder().Text("FORM").U32(o, 4).Text("TEST").Get(); }, 1, false, ""},
    {"NegativeContainerSize", [](int o) { return Container(o, {}, 0xFFFFFFFFu); }, 1, false, ""},
    {"ContainerEndBeyond2GiB", [](int o) { return Container(o, {}, 0x7FFFFFFCu); }, 1, false, ""},
};

class IffWalk : public testing::TestWithParam<WalkCase> {};

TEST_P(IffWalk, EndsAsExpectedInBothByteOrders) {
    const WalkCase& c = GetParam();
    for (int order : kOrders) {
        auto stream = MemoryStream(c.file(order));
        CTestContainer container(Factory(order, c.loadFlag), order);
        bool ok = false;
        EXPECT_NO_THROW(ok = container.Read(stream));
        EXPECT_EQ(ok, c.readOk) << "order " << order;
        if (c.readOk) {
            EXPECT_EQ(ChildIds(container), c.children) << "order " << order;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Endings, IffWalk, testing::ValuesIn(kWalkCases),
                         [](const testing::TestParamInfo<WalkCase>& info) { return std::string(info.param.name); });

TEST(IffWalkDetail, SkippedPadAndLocatedLengths) {
    auto stream = MemoryStream(Join({Container(1, {}, 1000), Chunk(1, "junk", kBody3), Chunk(1, "abcd", kBody3),
                                     ByteBuilder().Text("data").Le32(100).Fill(10, 1)}));
    CTestContainer container(Factory(1, 0), 1);
    ASSERT_TRUE(container.Read(stream));
    auto* data = dynamic_cast<CRawChunk*>(container.FindChunk("data"));
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->GetLocatedLength(), 100) << "a located body keeps its stated size";
    EXPECT_EQ(data->GetHeader().GetDataPosition(), 12 + 12 + 12 + 8);
    EXPECT_TRUE(data->GetData()->empty());
    auto* abcd = dynamic_cast<CRawChunk*>(container.FindChunk("abcd"));
    EXPECT_EQ(abcd->GetLocatedLength(), 3);
    EXPECT_EQ(abcd->GetHeader().GetDataPosition(), 32) << "the unknown chunk's pad byte was skipped";
}

TEST(IffWalkDetail, FindChunkGivesTheFirstOfEachId) {
    auto stream =
        MemoryStream(Container(0, Join({Chunk(0, "abcd", {1}), Chunk(0, "abcd", {2}), Chunk(0, "data", {3})})));
    CTestContainer container(Factory(0, 1), 0);
    ASSERT_TRUE(container.Read(stream));
    EXPECT_EQ(DataOf(container.FindChunk("abcd")), std::vector<uint8_t>{1});
    EXPECT_EQ(container.FindChunk("none"), nullptr);
    EXPECT_EQ(container.FindChunkAs<CFixedChunk>("abcd"), nullptr);
}

TEST(IffWalkDetail, ReadingAgainReplacesTheChildren) {
    const auto bytes = Container(1, Chunk(1, "abcd", {1}));
    CTestContainer container(Factory(1, 1), 1);
    for (int i = 0; i < 2; ++i) {
        auto stream = MemoryStream(bytes);
        ASSERT_TRUE(container.Read(stream));
    }
    EXPECT_EQ(ChildIds(container), "abcd");
}

TEST(IffWalkDetail, StreamThatThrowsEndsTheReadWithFalse) {
    auto stream = MemoryStream(Join({Container(1, {}, 100), Chunk(1, "abcd", kBody3), ByteBuilder().Text("da")}));
    stream.exceptions(std::ios_base::failbit | std::ios_base::badbit | std::ios_base::eofbit);
    CTestContainer container(Factory(1, 1), 1);
    bool ok = true;
    EXPECT_NO_THROW(ok = container.Read(stream));
    EXPECT_FALSE(ok);
}

TEST(IffWalkDetail, WalkerFlags) {
    const auto bytes = Container(1, Chunk(1, "abcd", kBody3));
    auto stream = MemoryStream(bytes);
    CTestContainer container(Factory(1, 1), 1);
    SL::CSubChunkIterator walker(stream);
    EXPECT_EQ(walker.GetFlags(), SL::CSubChunkIterator::FLAG_INVALID);
    ASSERT_TRUE(walker.ReadParent(container));
    walker.First();
    ASSERT_EQ(walker.GetFlags(), 0);
    EXPECT_EQ(walker.GetCurrentHeader()->GetId(), Code("abcd"));
    EXPECT_EQ(int64_t(stream.tellg()), 12) << "positioned on the child's own header";
    walker.Next();
    EXPECT_EQ(walker.GetFlags(), SL::CSubChunkIterator::FLAG_END);
    EXPECT_EQ(walker.GetCurrentHeader(), nullptr);
    boost::shared_ptr<CIffChunk> child;
    EXPECT_FALSE(walker.CreateChild(child));

    auto empty = MemoryStream(Container(1, {}));
    SL::CSubChunkIterator emptyWalker(empty);
    ASSERT_TRUE(emptyWalker.ReadParent(container));
    emptyWalker.First();
    EXPECT_EQ(emptyWalker.GetFlags(), SL::CSubChunkIterator::FLAG_END | SL::CSubChunkIterator::FLAG_INVALID);
}

// --- probing ---

struct ProbeCase {
    const char* name;
    std::vector<uint8_t> bytes;
    bool expected;
};

const ProbeCase kProbeCases[] = {
    {"Valid", ByteBuilder().Text("RIFF").Le32(4).Text("TEST"), true},
    {"ValidWithoutChildrenRead", ByteBuilder().Text("RIFF").Le32(100).Text("TEST").Text("junk"), true},
    {"ElevenBytes", ByteBuilder().Text("RIFF").Le32(4).Text("TES"), false},
    {"Empty", ByteBuilder(), false},
    {"WrongFormType", ByteBuilder().Text("RIFF").Le32(4).Text("TESS"), false},
    {"WrongId", ByteBuilder().Text("RIFX").Le32(4).Text("TEST"), false},
    {"NegativeSize", ByteBuilder().Text("RIFF").Le32(0x80000004u).Text("TEST"), false},
};

void PrintTo(const ProbeCase& c, std::ostream* os) { *os << c.name; }

class IffProbe : public testing::TestWithParam<ProbeCase> {};

TEST_P(IffProbe, AnswersAndRestoresPositionAndState) {
    const ProbeCase& c = GetParam();
    // Probing starts at the stream's position, here after three bytes of something else.
    auto stream = MemoryStream(ByteBuilder().Text("xyz").Bytes(c.bytes));
    stream.seekg(3);
    SL::CIffDto<CTestFile<1>> dto(Factory(1, 1));
    EXPECT_EQ(dto.Probe(stream), c.expected);
    EXPECT_EQ(stream.rdstate(), std::ios_base::goodbit);
    EXPECT_EQ(int64_t(stream.tellg()), 3);
    EXPECT_TRUE(dto.GetChildren().empty());
}

INSTANTIATE_TEST_SUITE_P(Streams, IffProbe, testing::ValuesIn(kProbeCases),
                         [](const testing::TestParamInfo<ProbeCase>& info) { return std::string(info.param.name); });

TEST(IffProbeState, FailedStreamStaysFailedAndDoesNotProbe) {
    auto stream = MemoryStream(ByteBuilder().Text("RIFF").Le32(4).Text("TEST"));
    stream.setstate(std::ios_base::eofbit);
    SL::CIffDto<CTestFile<1>> dto(Factory(1, 1));
    EXPECT_FALSE(dto.Probe(stream));
    EXPECT_EQ(stream.rdstate(), std::ios_base::eofbit);
}

// --- raw data bodies ---

TEST(IffDataChunk, LoadedLengthBeyondTheStreamFailsWithoutReading) {
    auto stream = MemoryStream(ByteBuilder().Text("abcd").Le32(0x7FFFFFF0u).Fill(16, 1));
    CRawChunk chunk(1, "abcd", 1);
    EXPECT_FALSE(chunk.Read(stream));
    EXPECT_TRUE(chunk.GetData()->empty());
}

// --- file data source ---

TEST(FileDataSource, OpensReadsWritesAndUpdates) {
    gbxtest::TempDir dir;
    const std::string path = dir.File("a.bin");
    EXPECT_FALSE(SL::CFileDataSource(path, false).OpenRead());
    EXPECT_FALSE(SL::CFileDataSource(path, true).OpenWrite()) << "update needs an existing file";
    EXPECT_FALSE(SL::CFileDataSource(dir.File("no/such/folder"), false).OpenWrite());

    gbxtest::WriteBytes(path, std::vector<uint8_t>(100, 0x55));
    {
        auto out = SL::CFileDataSource(path, false).OpenWrite();
        ASSERT_TRUE(out);
        CTestContainer root(Factory(1, 1), 1);
        auto data = boost::make_shared<CRawChunk>(1, "data", 1);
        *data->GetData() = {1, 2, 3, 4};
        root.AppendChild(data);
        ASSERT_TRUE(root.Write(*out));
    }
    EXPECT_EQ(gbxtest::ReadBytes(path), Container(1, Chunk(1, "data", {1, 2, 3, 4}))) << "the old contents are gone";
    EXPECT_EQ(SL::CFileDataSource(path, false).GetName(), path);

    {
        // Rewrite the header only: the located body stays as it is in the file.
        auto out = SL::CFileDataSource(path, true).OpenWrite();
        ASSERT_TRUE(out);
        CTestContainer root(Factory(1, 0), 1);
        auto data = boost::make_shared<CRawChunk>(1, "data", 0);
        data->SetLocatedLength(4);
        root.AppendChild(data);
        ASSERT_TRUE(root.Write(*out));
    }
    auto in = SL::CFileDataSource(path, false).OpenRead();
    ASSERT_TRUE(in);
    CTestContainer read(Factory(1, 1), 1);
    ASSERT_TRUE(read.Read(*in));
    EXPECT_EQ(DataOf(read.FindChunk("data")), (std::vector<uint8_t>{1, 2, 3, 4}));
}

TEST(FileDataSource, LocatedBodyPastTheEndOfAFileReadsLikeInMemory) {
    gbxtest::TempDir dir;
    const std::string path = dir.File("short.bin");
    gbxtest::WriteBytes(path, Join({Container(0, {}, 1000), Chunk(0, "abcd", kBody3),
                                    ByteBuilder().Text("data").Be32(100).Fill(10, 1)}));
    for (uint8_t loadFlag : {0, 1}) {
        auto in = SL::CFileDataSource(path, false).OpenRead();
        CTestContainer read(Factory(0, loadFlag), 0);
        EXPECT_EQ(read.Read(*in), loadFlag == 0);
        if (loadFlag == 0) {
            EXPECT_EQ(ChildIds(read), "abcd,data");
        }
    }
}

}  // namespace
