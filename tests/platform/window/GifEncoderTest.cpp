#include "platform/window/Application.h"
#include "platform/window/GifEncoder.h"
#include "platform/window/Image.h"
#include "tests/support/TestSupport.h"
#include "tests/support/WidgetDriver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <random>

namespace {

class GifEncoderTest : public ::testing::Test {
protected:
    void SetUp() override {
        gbxtest::UseOffscreenToolkitUnlessSet();
        ASSERT_TRUE(platform::StartWindowSystem());
    }
    gbxtest::TempDir dir;
};

// Straight colours as a decoder gives them back (premultiplied input undone), alpha below 128 cleared.
uint32_t Expected(uint32_t pixel, bool hasAlpha) {
    if (!hasAlpha) return 0xFF000000u | pixel;
    const uint32_t a = pixel >> 24;
    if (a < 128) return 0;
    auto channel = [&](int shift) { return std::min<uint32_t>(255, (((pixel >> shift) & 0xFF) * 255 + a / 2) / a); };
    return 0xFF000000u | (channel(16) << 16) | (channel(8) << 8) | channel(0);
}

// ffmpeg's decoding of the file as 0xAARRGGBB pixels, or nothing when it cannot be asked.
std::vector<uint32_t> DecodeWithFfmpeg(const std::string& gif, const std::string& raw) {
    if (!gbxtest::HaveCommand("ffmpeg")) return {};
    const auto run = gbxtest::Run("ffmpeg -nostdin -v error -y -i " + gbxtest::Quote(gif)
                                  + " -f rawvideo -pix_fmt rgba " + gbxtest::Quote(raw));
    EXPECT_EQ(run.exitCode, 0);
    const std::vector<uint8_t> bytes = gbxtest::ReadBytes(raw);
    std::vector<uint32_t> pixels;
    for (size_t i = 0; i + 3 < bytes.size(); i += 4) {
        pixels.push_back((uint32_t(bytes[i + 3]) << 24) | (uint32_t(bytes[i]) << 16) | (uint32_t(bytes[i + 1]) << 8)
                         | bytes[i + 2]);
    }
    return pixels;
}

TEST_F(GifEncoderTest, DecodersReadBackWhatWasWritten) {
    std::mt19937 random(7);
    struct Case {
        const char* name;
        int width, height;
        bool alpha;
        int tolerance;  // per channel: 0 for an exact palette, the cube's half step otherwise
        std::function<uint32_t(int x, int y)> pixel;
    } cases[] = {
        {"few colours, premultiplied, one transparent", 3, 2, true, 0,
         [](int x, int y) {
             const uint32_t p[] = {0xFF102030u, 0x80402010u, 0x00000000u, 0xFFFFFFFFu, 0xFF000000u, 0x40101010u};
             return p[y * 3 + x];
         }},
        // Many codes: the table fills and is cleared more than once.
        {"noise of 200 colours", 300, 200, false, 0, [&](int, int) { return uint32_t(random() % 200) * 0x010101u; }},
        {"a gradient of more than 256 colours", 64, 64, false, 26,
         [](int x, int y) { return uint32_t((x * 4) << 16 | (y * 4) << 8 | ((x + y) * 2)); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        platform::Image image(c.width, c.height, c.alpha);
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x) image.SetPixel(x, y, c.pixel(x, y));
        const std::string path = dir.File("out.gif");
        ASSERT_TRUE(image.Save(path, platform::ImageFileType::Gif));
        platform::Image back;  // the toolkit's own GIF reader
        ASSERT_TRUE(back.Load(path));
        ASSERT_EQ(back.GetSize(), image.GetSize());
        const std::vector<uint32_t> ffmpeg = DecodeWithFfmpeg(path, dir.File("out.rgba"));
        if (!ffmpeg.empty()) {
            ASSERT_EQ(ffmpeg.size(), size_t(c.width) * size_t(c.height));
        }
        int mismatches = 0;
        for (int y = 0; y < c.height; ++y) {
            for (int x = 0; x < c.width; ++x) {
                const uint32_t want = Expected(image.PixelAt(x, y), c.alpha);
                std::vector<uint32_t> got = {back.PixelAt(x, y)};
                if (!ffmpeg.empty()) got.push_back(ffmpeg[size_t(y) * size_t(c.width) + size_t(x)]);
                for (uint32_t g : got) {
                    bool same = (g >> 24) == (want >> 24);
                    for (int shift = 0; shift < 24 && same && (want >> 24) != 0; shift += 8) {
                        same = std::abs(int((g >> shift) & 0xFF) - int((want >> shift) & 0xFF)) <= c.tolerance;
                    }
                    if (!same && ++mismatches < 5)
                        ADD_FAILURE() << x << "," << y << " " << std::hex << g << " " << want;
                }
            }
        }
        EXPECT_EQ(mismatches, 0);
    }
}

// A strict LZW reader of our own: prints the indices of each file and fails unless the end code
// follows the last pixel at the width the codes before it give, with nothing but padding after it.
const char* const kStrictLzwScript = R"PY(
import sys
for path in sys.argv[1:]:
    d = open(path, 'rb').read()
    size = 1 << ((d[10] & 7) + 1)
    pos = 13 + 3 * size
    if d[pos] == 0x21:
        pos += 8
    w, h = d[pos+5] | d[pos+6] << 8, d[pos+7] | d[pos+8] << 8
    pos += 10
    mcs = d[pos]; pos += 1
    data = b''
    while d[pos]:
        data += d[pos+1:pos+1+d[pos]]; pos += 1 + d[pos]
    assert d[pos+1:] == b'\x3b', 'trailer'
    bits = int.from_bytes(data, 'little'); nbits = len(data) * 8; at = 0
    clear, end = 1 << mcs, (1 << mcs) + 1
    out, table, prev, cs = [], None, None, mcs + 1
    while True:
        assert at + cs <= nbits, 'ran out of codes'
        code = (bits >> at) & ((1 << cs) - 1); at += cs
        if code == clear:
            table, prev, cs = [[i] for i in range(clear)] + [None, None], None, mcs + 1
            continue
        if code == end:
            break
        assert len(out) < w * h, 'pixels after the last one'
        if prev is None:
            entry = table[code]
        else:
            entry = table[code] if code < len(table) else prev + prev[:1]
            if len(table) < 4096:
                table.append(prev + entry[:1])
            if len(table) == (1 << cs) and cs < 12:
                cs += 1
        out += entry; prev = entry
    assert len(out) == w * h, 'pixel count'
    assert nbits - at < 8, 'data after the end code'
    print(' '.join(map(str, out)))
)PY";

TEST_F(GifEncoderTest, EveryLengthOfCodesEndsCleanly) {
    // The end code's width depends on how many codes came before it: try every length up to
    // well past the first widenings, in four colours (indices 0 to 3 in order of appearance) and in
    // one colour (long runs: 56 pixels end just past a byte after a widening).
    std::mt19937 random(11);
    std::vector<std::string> paths, expected;
    for (int row = 0; row < 1200; ++row) {
        const int width = row % 600 + 1;
        const bool plain = row >= 600;
        platform::Image image(width, 1, false);
        std::vector<uint32_t> seen;
        std::string indices;
        for (int x = 0; x < width; ++x) {
            const uint32_t colour = plain ? 0x808080u : uint32_t(random() % 4) * 0x3F3F3Fu;
            image.SetPixel(x, 0, colour);
            auto found = std::find(seen.begin(), seen.end(), colour);
            if (found == seen.end()) found = seen.insert(seen.end(), colour);
            indices += (x ? " " : "") + std::to_string(found - seen.begin());
        }
        paths.push_back(dir.File("row" + std::to_string(row) + ".gif"));
        expected.push_back(indices);
        ASSERT_TRUE(image.Save(paths.back(), platform::ImageFileType::Gif));
    }
    const auto read = gbxtest::Python(kStrictLzwScript, paths);
    ASSERT_EQ(read.exitCode, 0);
    std::string all;
    for (const std::string& line : expected) all += line + "\n";
    EXPECT_EQ(read.output, all);
}

TEST_F(GifEncoderTest, EmptyOrOversizedPicturesAreNotWritten) {
    EXPECT_TRUE(platform::EncodeGif(platform::Image()).empty());
    EXPECT_TRUE(platform::EncodeGif(platform::Image(70000, 1, false)).empty());
    EXPECT_FALSE(platform::Image().Save(dir.File("none.gif"), platform::ImageFileType::Gif));
    EXPECT_FALSE(platform::Image(2, 2, false).Save(dir.File("no/such/folder.gif"), platform::ImageFileType::Gif));
}

}  // namespace
