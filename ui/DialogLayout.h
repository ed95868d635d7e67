#pragma once
// Anchored layout: a dialog, form view or frame keeps its controls in place when resized by computing
// each control's rectangle from its rectangle in the dialog template, the template's size, the client
// size and anchor flags.
#include "platform/window/Geometry.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace platform {
class Window;
}

namespace UL {

using CRect = platform::Rect;

// Anchor flags: which client edges a control's edges follow.
enum : int {
    kAnchorLeft = 0x01,
    kAnchorRight = 0x02,
    kAnchorTop = 0x04,
    kAnchorBottom = 0x08,
    kAnchorScaleX = 0x10,  // with left the right edge, with right the left edge, with both both scale
    kAnchorScaleY = 0x20,
    kAnchorTopLeft = kAnchorLeft | kAnchorTop,                             // 5
    kAnchorAll = kAnchorLeft | kAnchorRight | kAnchorTop | kAnchorBottom,  // 15
};

// A dialog template parsed from its bytes (the plain DLGTEMPLATE or the extended DLGTEMPLATEEX layout):
// its header and every item by control id, in template order.
class CDialogTemplate {
public:
    class CDialogItemTemplate {
    public:
        CDialogItemTemplate(bool extended, const uint8_t* header);
        bool IsExtended() const { return m_extended; }
        // The 16-bit id widened without sign, or the 32-bit id.
        uint32_t GetId() const;
        uint32_t GetStyle() const;
        // (x, y, x + cx, y + cy) in dialog units.
        CRect GetRect() const;
        // The fixed header as it stands in the template (18 bytes plain, 24 extended).
        const std::vector<uint8_t>& GetHeader() const { return m_header; }

    private:
        bool m_extended;
        std::vector<uint8_t> m_header;
    };

    CDialogTemplate() = default;
    ~CDialogTemplate() { Clear(); }
    CDialogTemplate(const CDialogTemplate&) = delete;
    CDialogTemplate& operator=(const CDialogTemplate&) = delete;

    // The template registered under the id, built from its table; false, with nothing parsed, when no
    // template has that id.
    bool Load(int templateId);
    // Reads a template from memory; a template cut short ends the reading where its bytes end, with the
    // items read so far. Always true.
    bool Parse(const uint8_t* data, size_t size);
    bool Parse(const std::vector<uint8_t>& bytes) { return Parse(bytes.data(), bytes.size()); }
    void Clear();

    bool IsLoaded() const { return m_plainHeader.has_value() || m_extendedHeader.has_value(); }
    bool IsExtended() const { return m_extendedHeader.has_value(); }
    // The item with that control id when exactly one has it; null for none or several.
    const CDialogItemTemplate* GetItem(uint32_t id) const;
    size_t GetItemCount() const { return m_items.size(); }
    // (x, y, x + cx, y + cy) of the header, in dialog units.
    CRect GetRect() const;
    uint32_t GetStyle() const;

private:
    std::optional<std::vector<uint8_t>> m_plainHeader;     // 18 bytes
    std::optional<std::vector<uint8_t>> m_extendedHeader;  // 26 bytes
    std::multimap<uint32_t, std::unique_ptr<CDialogItemTemplate>> m_items;
};

// A control's new rectangle from the template's rectangle T and the item's I (both in pixels), the
// client rectangle C, the anchor flags and the window's scroll position.
CRect ComputeAnchoredRect(const CRect& templateRect, const CRect& itemRect, const CRect& client, int anchors,
                          platform::Point scroll);

// Made on the stack for one layout pass; destroying it applies every queued move at once.
class CDialogLayout {
public:
    CDialogLayout(platform::Window* window, const CDialogTemplate* dialogTemplate);
    ~CDialogLayout() { Apply(); }
    CDialogLayout(const CDialogLayout&) = delete;
    CDialogLayout& operator=(const CDialogLayout&) = delete;

    // Queues the control's move; a control that the template does not hold exactly once is left alone.
    void Add(int id, int anchors) { Add(id, anchors, false); }
    // keepSize: the control keeps its current size, only its position follows the anchors.
    void Add(int id, int anchors, bool keepSize);
    void Apply();

    struct CMove {
        int id;
        CRect rect;
    };
    const std::vector<CMove>& GetPendingMoves() const { return m_moves; }

private:
    platform::Window* m_window;
    const CDialogTemplate* m_template;
    std::vector<CMove> m_moves;
};

// The rectangle made to fit the bounds: first shrunk to the bounds' size, then moved inside.
CRect FitRectIntoBounds(CRect rect, const CRect& bounds);

}  // namespace UL
