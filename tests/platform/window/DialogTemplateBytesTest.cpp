// The bytes of dialog templates built from the layer's tables, read back by an independent reader in
// python3 (struct) that follows the published DLGTEMPLATE and DLGTEMPLATEEX layouts.
#include "platform/window/DialogTemplate.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

constexpr char kReader[] = R"PY(
import struct, sys
data = open(sys.argv[1], 'rb').read()
pos = 0
def take(fmt):
    global pos
    values = struct.unpack_from('<' + fmt, data, pos)
    pos += struct.calcsize('<' + fmt)
    return values
def text():
    global pos
    end = pos
    while data[end:end + 2] != b'\0\0':
        end += 2
    value = data[pos:end].decode('utf-16-le')
    pos = end + 2
    return value
def field():
    global pos
    (first,) = struct.unpack_from('<H', data, pos)
    if first == 0xFFFF:
        pos += 2
        return '#%d' % take('H')[0]
    return text()
extended = struct.unpack_from('<H', data, 2)[0] == 0xFFFF
if extended:
    version, signature, helpid, exstyle, style, count, x, y, cx, cy = take('HHIIIHhhhh')
else:
    style, exstyle, count, x, y, cx, cy = take('IIHhhhh')
menu = field(); cls = field(); title = text()
print('dialog', 'ex' if extended else 'plain', hex(style), count, x, y, cx, cy, repr(title))
if style & 0x40:
    if extended:
        points, weight, italic, charset = take('HHBB')
    else:
        (points,) = take('H')
    print('font', points, text())
for i in range(count):
    pos = (pos + 3) & ~3
    if extended:
        helpid, exstyle, istyle, x, y, cx, cy, ident = take('IIIhhhhI')
    else:
        istyle, exstyle, x, y, cx, cy, ident = take('IIhhhhH')
    icls = field(); ititle = field()
    (extra,) = take('H'); pos += extra
    print('item', ident, hex(istyle), x, y, cx, cy, icls, repr(ititle))
print('end', pos == len(data))
)PY";

std::string Expected(const platform::DialogTemplate& t) {
    std::ostringstream out;
    auto hex = [](uint32_t v) {
        std::ostringstream h;
        h << "0x" << std::hex << v;
        return h.str();
    };
    out << "dialog " << (t.extended ? "ex" : "plain") << " " << hex(t.style) << " " << t.items.size() << " 0 0 "
        << t.units.width << " " << t.units.height << " '" << t.title << "'\n";
    out << "font " << t.fontPointSize << " " << t.fontFace << "\n";
    for (const platform::DialogItem& item : t.items) {
        const uint32_t id = t.extended ? uint32_t(item.id) : (uint32_t(item.id) & 0xFFFF);
        std::string cls = item.className;
        if (cls == "BUTTON") cls = "#128";
        if (cls == "EDIT") cls = "#129";
        if (cls == "STATIC") cls = "#130";
        if (cls == "COMBOBOX") cls = "#133";
        out << "item " << id << " " << hex(item.style) << " " << item.units.left << " " << item.units.top << " "
            << item.units.Width() << " " << item.units.Height() << " " << cls << " '" << item.text << "'\n";
    }
    out << "end True\n";
    return out.str();
}

TEST(DialogTemplateBytes, AnIndependentReaderReadsTheTableBack) {
    if (!gbxtest::HaveCommand("python3")) GTEST_SKIP() << "python3 is the oracle";
    gbxtest::TempDir dir;
    platform::DialogTemplate t;
    t.title = "CD Ripping";
    t.units = platform::Size{330, 205};
    t.style |= platform::kWsThickFrame;
    t.items = {
        {4329, platform::kClassStatic, "Album", platform::Rect{7, 7, 250, 19},
         platform::kWsChild | platform::kWsVisible | platform::kSsOwnerDraw},
        {4311, platform::kClassListView, "", platform::Rect{7, 22, 323, 170},
         platform::kWsChild | platform::kWsVisible | platform::kWsTabStop | platform::kWsBorder},
        {-1, platform::kClassStatic, "Drive:", platform::Rect{7, 180, 40, 190},
         platform::kWsChild | platform::kWsVisible},
        {4330, platform::kClassComboBox, "", platform::Rect{44, 178, 120, 240},
         platform::kWsChild | platform::kWsVisible | platform::kCbsDropDownList | platform::kWsVScroll},
        {4331, platform::kClassEdit, "80", platform::Rect{130, 178, 160, 190},
         platform::kWsChild | platform::kWsVisible | platform::kEsAutoHScroll},
        {1, platform::kClassButton, "OK", platform::Rect{217, 184, 267, 198},
         platform::kWsChild | platform::kWsVisible | platform::kWsTabStop | platform::kBsDefPushButton},
    };
    for (bool extended : {false, true}) {
        SCOPED_TRACE(extended ? "extended" : "plain");
        t.extended = extended;
        gbxtest::WriteBytes(dir.File("template.bin"), platform::DialogTemplateBytes(t));
        const gbxtest::CommandResult read = gbxtest::Python(kReader, {dir.File("template.bin")});
        ASSERT_EQ(read.exitCode, 0);
        EXPECT_EQ(read.output, Expected(t));
    }
}

TEST(DialogTemplateBytes, ItemsStartOnFourByteBoundaries) {
    platform::DialogTemplate t;
    t.title = "A";  // an odd number of words before the first item
    t.units = platform::Size{10, 10};
    t.style &= ~uint32_t(platform::kDsSetFont);
    t.items = {{7, platform::kClassButton, "", platform::Rect{0, 0, 5, 5}, platform::kWsChild}};
    const std::vector<uint8_t> bytes = platform::DialogTemplateBytes(t);
    // Header 18, menu 2, class 2, title 4: 26, padded to 28, then the item's 18 bytes.
    ASSERT_EQ(bytes.size(), 28u + 18u + 4u + 2u + 2u);
    EXPECT_EQ(bytes[26], 0);
    EXPECT_EQ(bytes[27], 0);
    EXPECT_EQ(bytes[28 + 16], 7) << "the item's id";
}

}  // namespace
