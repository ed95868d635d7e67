#pragma once
// Edits and drop-down lists. Texts are UTF-8; positions inside a text count UTF-16 units, as the
// toolkit's and the dialog templates' texts do.
#include "platform/window/Controls.h"

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

enum class TextAlignment { Left, Centre, Right };

// A one-line edit. Every change of its text, typed or set, notifies kNotifyTextUpdated and then
// kNotifyTextChanged; gaining and losing the keyboard notifies kNotifyFocusGained and kNotifyFocusLost.
class Edit : public Control {
public:
    // The style's alignment and read-only bits (kEsRight, kEsCenter, kEsReadOnly) are taken.
    Edit(Window& parent, int id, const std::string& text = std::string(), uint32_t style = 0);

    void SetText(const std::string& utf8) override;
    std::string Text() const override;
    int TextLength() const;

    // The selection runs from start to end (exclusive) and the caret stands at end. An end of -1, or past
    // the text, is the end of the text; a start of -1 removes the selection and leaves the caret.
    // The caret is scrolled into view.
    void SetSelection(int start, int end);
    // Without a selection, both are the caret's index.
    void GetSelection(int& start, int& end) const;
    bool IsAllSelected() const;
    int CaretIndex() const;
    // An empty selection at the index, scrolled into view.
    void SetCaretIndex(int index);
    // The caret's left edge in client pixels.
    Point CaretPosition() const;

    void SetReadOnly(bool readOnly);
    bool IsReadOnly() const;
    void SetAlignment(TextAlignment alignment);
    TextAlignment Alignment() const;
    // Room kept free inside the left and right edges, in pixels.
    void SetMargins(int left, int right);
    int LeftMargin() const;
    int RightMargin() const;
    // Where the text is drawn, in client pixels.
    Rect FormattingRect() const;
    void SetColours(Colour text, Colour back);
};

// A drop-down list to choose one text of (a combo box without an edit field of its own).
class ComboBox : public Control {
public:
    ComboBox(Window& parent, int id);
    ~ComboBox() override;

    // Replaces the list; nothing is chosen afterwards.
    void SetItems(const std::vector<std::string>& texts);
    int ItemCount() const;
    std::string ItemText(int index) const;  // empty outside the list
    // Chooses an item (-1 none) without notifying.
    void SetSelection(int index);
    int Selection() const;
    // The first item whose text is exactly this one, or -1.
    int FindExact(const std::string& utf8) const;
    // The chosen item's text.
    std::string Text() const override;
    void SetText(const std::string& utf8) override;  // chooses the item with that text

    void ShowDropDown(bool show);
    bool IsDroppedDown() const;
    // The height the closed box needs for its font.
    int PreferredHeight() const;
};

}  // namespace platform
