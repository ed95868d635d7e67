#include "ui/DialogLayout.h"

#include "platform/window/Controls.h"
#include "platform/window/DialogTemplate.h"
#include "platform/window/Window.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace UL {

namespace {

constexpr size_t kPlainHeaderSize = 18;
constexpr size_t kExtendedHeaderSize = 26;
constexpr size_t kPlainItemSize = 18;
constexpr size_t kExtendedItemSize = 24;

uint16_t Word(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
int16_t SignedWord(const uint8_t* p) { return int16_t(Word(p)); }
uint32_t Dword(const uint8_t* p) { return uint32_t(Word(p)) | (uint32_t(Word(p + 2)) << 16); }

CRect RectAt(const uint8_t* xyCxCy) {
    const int x = SignedWord(xyCxCy), y = SignedWord(xyCxCy + 2);
    return CRect{x, y, x + SignedWord(xyCxCy + 4), y + SignedWord(xyCxCy + 6)};
}

// Walks a template's bytes; never reads past them.
class Reader {
public:
    Reader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool Has(size_t count) const { return count <= m_size - m_at; }
    const uint8_t* Here() const { return m_data + m_at; }
    bool Skip(size_t count) {
        if (!Has(count)) return false;
        m_at += count;
        return true;
    }
    // A menu, class or title field: 0xFFFF and an ordinal, or a text ended by a 0 word.
    bool SkipField() {
        if (!Has(2)) return false;
        if (Word(Here()) == 0xFFFF) return Skip(4);
        return SkipText();
    }
    bool SkipText() {
        while (Has(2)) {
            const uint16_t c = Word(Here());
            m_at += 2;
            if (c == 0) return true;
        }
        return false;
    }
    bool AlignTo4() { return Skip((4 - m_at % 4) % 4); }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_at = 0;
};

}  // namespace

CDialogTemplate::CDialogItemTemplate::CDialogItemTemplate(bool extended, const uint8_t* header)
    : m_extended(extended), m_header(header, header + (extended ? kExtendedItemSize : kPlainItemSize)) {}

uint32_t CDialogTemplate::CDialogItemTemplate::GetId() const {
    return m_extended ? Dword(&m_header[20]) : uint32_t(Word(&m_header[16]));
}

uint32_t CDialogTemplate::CDialogItemTemplate::GetStyle() const {
    return m_extended ? Dword(&m_header[8]) : Dword(&m_header[0]);
}

CRect CDialogTemplate::CDialogItemTemplate::GetRect() const { return RectAt(&m_header[m_extended ? 12 : 8]); }

bool CDialogTemplate::Load(int templateId) {
    const platform::DialogTemplate* table = platform::FindDialogTemplate(templateId);
    if (table == nullptr) {
        Clear();
        return false;
    }
    return Parse(platform::DialogTemplateBytes(*table));
}

void CDialogTemplate::Clear() {
    m_plainHeader.reset();
    m_extendedHeader.reset();
    m_items.clear();
}

bool CDialogTemplate::Parse(const uint8_t* data, size_t size) {
    Clear();
    Reader in(data, size);
    if (!in.Has(4)) return true;
    const bool extended = Word(data + 2) == 0xFFFF;
    const size_t headerSize = extended ? kExtendedHeaderSize : kPlainHeaderSize;
    if (!in.Has(headerSize)) return true;
    std::vector<uint8_t> header(data, data + headerSize);
    const uint32_t style = extended ? Dword(&header[12]) : Dword(&header[0]);
    const int count = Word(&header[extended ? 16 : 8]);
    if (extended)
        m_extendedHeader = std::move(header);
    else
        m_plainHeader = std::move(header);
    in.Skip(headerSize);
    if (!in.SkipField() || !in.SkipField() || !in.SkipText()) return true;  // menu, class, title
    if (style & platform::kDsSetFont) {
        if (!in.Skip(extended ? 6 : 2) || !in.SkipText()) return true;
    }
    const size_t itemSize = extended ? kExtendedItemSize : kPlainItemSize;
    for (int i = 0; i < count; ++i) {
        if (!in.AlignTo4() || !in.Has(itemSize)) return true;
        auto item = std::make_unique<CDialogItemTemplate>(extended, in.Here());
        const uint32_t id = item->GetId();
        m_items.emplace(id, std::move(item));  // duplicate ids are kept
        in.Skip(itemSize);
        if (!in.SkipField() || !in.SkipField() || !in.Has(2)) return true;
        const size_t extra = Word(in.Here());
        if (!in.Skip(extra + 2)) return true;
    }
    return true;
}

const CDialogTemplate::CDialogItemTemplate* CDialogTemplate::GetItem(uint32_t id) const {
    return m_items.count(id) == 1 ? m_items.find(id)->second.get() : nullptr;
}

CRect CDialogTemplate::GetRect() const {
    if (m_extendedHeader) return RectAt(&(*m_extendedHeader)[18]);
    if (m_plainHeader) return RectAt(&(*m_plainHeader)[10]);
    return CRect{};
}

uint32_t CDialogTemplate::GetStyle() const {
    if (m_extendedHeader) return Dword(&(*m_extendedHeader)[12]);
    if (m_plainHeader) return Dword(&(*m_plainHeader)[0]);
    return 0;
}

CRect ComputeAnchoredRect(const CRect& T, const CRect& I, const CRect& C, int anchors, platform::Point scroll) {
    // One axis of the anchor table: client edges c0, c1, template edges t0, t1, item edges i0, i1.
    auto axis = [](int mode, int near, int far, int both, int scale, int c0, int c1, int t0, int t1, int i0, int i1,
                   int& out0, int& out1) {
        const long long extent = c1 - c0;
        const long long templ = t1 - t0;
        auto scaled = [&](int v) { return templ == 0 ? v : int(extent * v / templ); };
        if (mode == far) {
            out0 = c1 + i0 - t1;
            out1 = c1 + i1 - t1;
        } else if (mode == both) {
            out0 = c0 + i0 - t0;
            out1 = c1 + i1 - t1;
        } else if (mode == (near | scale)) {
            out0 = c0 + i0 - t0;
            out1 = scaled(i1);
        } else if (mode == (far | scale)) {
            out0 = scaled(i0);
            out1 = c1 + i1 - t1;
        } else if (mode == (both | scale)) {
            out0 = scaled(i0);
            out1 = scaled(i1);
        } else {
            out0 = c0 + i0 - t0;
            out1 = c0 + i1 - t0;
        }
    };
    CRect r;
    axis(anchors & 0x13, kAnchorLeft, kAnchorRight, kAnchorLeft | kAnchorRight, kAnchorScaleX, C.left, C.right, T.left,
         T.right, I.left, I.right, r.left, r.right);
    axis(anchors & 0x2C, kAnchorTop, kAnchorBottom, kAnchorTop | kAnchorBottom, kAnchorScaleY, C.top, C.bottom, T.top,
         T.bottom, I.top, I.bottom, r.top, r.bottom);
    r.left -= scroll.x;
    r.right -= scroll.x;
    r.top -= scroll.y;
    r.bottom -= scroll.y;
    return r;
}

CDialogLayout::CDialogLayout(platform::Window* window, const CDialogTemplate* dialogTemplate)
    : m_window(window), m_template(dialogTemplate) {}

void CDialogLayout::Add(int id, int anchors, bool keepSize) {
    if (m_window == nullptr || m_template == nullptr) return;
    const CDialogTemplate::CDialogItemTemplate* item = m_template->GetItem(uint32_t(id));
    if (item == nullptr) return;
    const CRect T = m_window->DialogUnitsToPixels(m_template->GetRect());
    CRect I = m_window->DialogUnitsToPixels(item->GetRect());
    const platform::Size clientSize = m_window->ClientSize();
    CRect C{0, 0, clientSize.width, clientSize.height};
    const platform::Size total = m_window->ScrollSize();
    if (total.width > 0 && total.height > 0) {
        // A scrolled form smaller than its template is laid out at template size.
        C.right = std::max(C.right, total.width);
        C.bottom = std::max(C.bottom, total.height);
    }
    if (keepSize) {
        if (platform::Control* control = m_window->FindControl(id)) {
            const CRect current = control->GetRect();
            I.right = I.left + current.Width();
            I.bottom = I.top + current.Height();
        }
    }
    m_moves.push_back(CMove{id, ComputeAnchoredRect(T, I, C, anchors, m_window->ScrollPosition())});
}

void CDialogLayout::Apply() {
    if (m_moves.empty() || m_window == nullptr) return;
    std::vector<std::pair<int, CRect>> moves;
    moves.reserve(m_moves.size());
    for (const CMove& move : m_moves) moves.emplace_back(move.id, move.rect);
    m_window->MoveControls(moves);
    m_moves.clear();
}

namespace {

// One direction of FitRectIntoBounds, in 64 bits: a stored placement (a hand-edited settings file) may
// hold any ints, whose differences overflow an int.
void FitSpan(int& low, int& high, int boundsLow, int boundsHigh) {
    int64_t a = low, b = high;
    const int64_t size = int64_t(boundsHigh) - boundsLow;
    if (b - a > size) b = a + size;
    if (a < boundsLow) {
        b += boundsLow - a;
        a = boundsLow;
    }
    if (b > boundsHigh) {
        a -= b - boundsHigh;
        b = boundsHigh;
    }
    // Both edges end within the ints (inside the bounds, or where they were); the clamps only say so.
    low = int(std::clamp<int64_t>(a, INT32_MIN, INT32_MAX));
    high = int(std::clamp<int64_t>(b, INT32_MIN, INT32_MAX));
}

}  // namespace

CRect FitRectIntoBounds(CRect r, const CRect& bounds) {
    // Shrunk to the bounds' size first, then moved inside: the same steps in each direction.
    FitSpan(r.left, r.right, bounds.left, bounds.right);
    FitSpan(r.top, r.bottom, bounds.top, bounds.bottom);
    return r;
}

}  // namespace UL
