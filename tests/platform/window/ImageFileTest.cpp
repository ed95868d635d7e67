#include "platform/window/Application.h"
#include "platform/window/Image.h"
#include "tests/support/TestSupport.h"
#include "tests/support/WidgetDriver.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

// Our own PNG coder in python (zlib and struct only): writes RGBA rows with filter 0 and reads every
// filter type back, printing "width height" and then each pixel as hexadecimal RGBA.
const char* const kPngScript = R"PY(
import struct, sys, zlib
def chunk(kind, data):
    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data) & 0xffffffff)
def write(path, w, h, pixels):
    raw = b''.join(b'\x00' + bytes.fromhex(''.join(pixels[y*w:(y+1)*w])) for y in range(h))
    png = b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, 6, 0, 0, 0))
    png += chunk(b'IDAT', zlib.compress(raw)) + chunk(b'IEND', b'')
    open(path, 'wb').write(png)
def read(path):
    data = open(path, 'rb').read()
    pos, idat = 8, b''
    while pos < len(data):
        n, kind = struct.unpack('>I4s', data[pos:pos+8])
        body = data[pos+8:pos+8+n]
        if kind == b'IHDR':
            w, h, depth, ctype = struct.unpack('>IIBB', body[:10])
        elif kind == b'IDAT':
            idat += body
        pos += 12 + n
    bpp = {6: 4, 2: 3}[ctype]
    raw, stride, prev, out = zlib.decompress(idat), w * bpp, bytearray(w * bpp), []
    for y in range(h):
        f, line = raw[y*(stride+1)], bytearray(raw[y*(stride+1)+1:(y+1)*(stride+1)])
        for i in range(stride):
            a = line[i-bpp] if i >= bpp else 0
            b, c = prev[i], (prev[i-bpp] if i >= bpp else 0)
            p = a + b - c
            pred = [0, a, b, (a + b) // 2, a if abs(p-a) <= abs(p-b) and abs(p-a) <= abs(p-c) else (b if abs(p-b) <= abs(p-c) else c)][f]
            line[i] = (line[i] + pred) & 255
        for x in range(w):
            px = line[x*bpp:(x+1)*bpp]
            out.append(px.hex() + ('' if bpp == 4 else 'ff'))
        prev = line
    print(w, h, ' '.join(out))
if sys.argv[1] == 'write':
    write(sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), sys.argv[5:])
else:
    read(sys.argv[2])
)PY";

class ImageFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        gbxtest::UseOffscreenToolkitUnlessSet();
        ASSERT_TRUE(platform::StartWindowSystem());
    }
    gbxtest::TempDir dir;
};

TEST_F(ImageFileTest, LoadsPngWithStraightColoursAndAlpha) {
    const std::string path = dir.File("fixture.png");
    ASSERT_EQ(gbxtest::Python(kPngScript, {"write", path, "3", "1", "ff000080", "00ff00ff", "0000ff00"}).exitCode, 0);
    platform::Image image;
    ASSERT_TRUE(image.Load(path));
    EXPECT_EQ(image.Width(), 3);
    EXPECT_EQ(image.Height(), 1);
    EXPECT_TRUE(image.HasAlpha());
    EXPECT_EQ(image.PixelAt(0, 0), 0x80FF0000u);
    EXPECT_EQ(image.PixelAt(1, 0), 0xFF00FF00u);
    EXPECT_EQ(image.PixelAt(2, 0), 0x000000FFu);
}

TEST_F(ImageFileTest, SavesPngThatAnotherDecoderReads) {
    platform::Image image(2, 2, false);
    image.SetPixel(0, 0, 0xFFFF0000u);
    image.SetPixel(1, 0, 0xFF00FF00u);
    image.SetPixel(0, 1, 0xFF0000FFu);
    image.SetPixel(1, 1, 0xFF102030u);
    const std::string path = dir.File("out.png");
    ASSERT_TRUE(image.Save(path, platform::ImageFileType::Png));
    const auto read = gbxtest::Python(kPngScript, {"read", path});
    ASSERT_EQ(read.exitCode, 0);
    EXPECT_EQ(read.output, "2 2 ff0000ff 00ff00ff 0000ffff 102030ff\n");
}

TEST_F(ImageFileTest, BmpAndJpegRoundTrip) {
    platform::Image image(8, 8, false);
    image.Fill(0xFF204080u);
    for (auto type : {platform::ImageFileType::Bmp, platform::ImageFileType::Jpeg}) {
        const std::string path = dir.File(type == platform::ImageFileType::Bmp ? "a.bmp" : "a.jpg");
        ASSERT_TRUE(image.Save(path, type));
        platform::Image back;
        ASSERT_TRUE(back.Load(path));
        EXPECT_EQ(back.GetSize(), image.GetSize());
        EXPECT_FALSE(back.HasAlpha());
        const uint32_t p = back.PixelAt(3, 3);
        EXPECT_NEAR(int((p >> 16) & 0xFF), 0x20, 4);
        EXPECT_NEAR(int((p >> 8) & 0xFF), 0x40, 4);
        EXPECT_NEAR(int(p & 0xFF), 0x80, 4);
    }
}

TEST_F(ImageFileTest, AFileThatIsNoPictureLeavesItEmpty) {
    gbxtest::WriteText(dir.File("bad.png"), "not a picture");
    platform::Image image(4, 4, true);
    EXPECT_FALSE(image.Load(dir.File("bad.png")));
    EXPECT_TRUE(image.IsEmpty());
    EXPECT_FALSE(image.Load(dir.File("missing.png")));
}

TEST(ImageCrop, ClipsToThePicture) {
    platform::Image image(4, 3, true);
    image.SetPixel(3, 2, 0x12345678u);
    const platform::Image part = image.Crop(platform::Rect{2, 1, 10, 10});
    EXPECT_EQ(part.GetSize(), (platform::Size{2, 2}));
    EXPECT_EQ(part.PixelAt(1, 1), 0x12345678u);
    EXPECT_TRUE(image.Crop(platform::Rect{5, 5, 9, 9}).IsEmpty());
}

}  // namespace
