#include "platform/window/DialogTemplate.h"

#include "platform/window/ReportList.h"
#include "platform/window/Window.h"

#include <QString>

#include <algorithm>
#include <cctype>
#include <map>

namespace platform {

namespace {

std::map<int, DialogTemplate>& Templates() {
    static std::map<int, DialogTemplate> templates;
    return templates;
}

std::string Upper(std::string text) {
    for (char& c : text) c = char(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// Makers registered by higher layers, over the layer's own.
std::map<std::string, ControlMaker>& ControlClasses() {
    static std::map<std::string, ControlMaker> classes;
    return classes;
}

// The classes the layer makes itself through a maker: the list view is the owner-drawn report list,
// which a table takes over by its id.
const std::map<std::string, ControlMaker>& BuiltInControlClasses() {
    static const std::map<std::string, ControlMaker> classes = {
        {Upper(kClassListView),
         [](Window& window, const DialogItem& item) -> Control* { return &window.AddControl<ReportList>(item.id); }},
    };
    return classes;
}

// Ordinals of the predefined control classes in a template.
int PredefinedClassAtom(const std::string& className) {
    const std::string name = Upper(className);
    if (name == "BUTTON") return 0x80;
    if (name == "EDIT") return 0x81;
    if (name == "STATIC") return 0x82;
    if (name == "LISTBOX") return 0x83;
    if (name == "SCROLLBAR") return 0x84;
    if (name == "COMBOBOX") return 0x85;
    return 0;
}

class ByteWriter {
public:
    void Word(uint32_t value) {
        m_bytes.push_back(uint8_t(value & 0xFF));
        m_bytes.push_back(uint8_t((value >> 8) & 0xFF));
    }
    void Dword(uint32_t value) {
        Word(value & 0xFFFF);
        Word(value >> 16);
    }
    void Byte(uint8_t value) { m_bytes.push_back(value); }
    // A zero-terminated UTF-16 text.
    void Text(const std::string& utf8) {
        const QString text = QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
        for (QChar c : text) Word(c.unicode());
        Word(0);
    }
    // A header's style words: the extended layout has a help id and the styles the other way round.
    void Styles(bool extended, uint32_t style, uint32_t exStyle) {
        if (extended) {
            Dword(0);  // help id
            Dword(exStyle);
            Dword(style);
        } else {
            Dword(style);
            Dword(exStyle);
        }
    }
    void AlignTo4() {
        while (m_bytes.size() % 4 != 0) m_bytes.push_back(0);
    }
    std::vector<uint8_t> Take() { return std::move(m_bytes); }

private:
    std::vector<uint8_t> m_bytes;
};

// Template numbers are 16 bits wide; what does not fit is cut as the resource compiler cuts it.
uint32_t Short(int value) { return uint32_t(value) & 0xFFFF; }

}  // namespace

void RegisterDialogTemplate(int id, const DialogTemplate& dialogTemplate) { Templates()[id] = dialogTemplate; }

const DialogTemplate* FindDialogTemplate(int id) {
    auto found = Templates().find(id);
    return found == Templates().end() ? nullptr : &found->second;
}

std::vector<uint8_t> DialogTemplateBytes(const DialogTemplate& t) {
    ByteWriter out;
    const uint32_t count = uint32_t(std::min<size_t>(t.items.size(), 0xFFFF));
    if (t.extended) {
        out.Word(1);       // version
        out.Word(0xFFFF);  // signature
    }
    out.Styles(t.extended, t.style, t.exStyle);
    out.Word(count);
    out.Word(0);
    out.Word(0);
    out.Word(Short(t.units.width));
    out.Word(Short(t.units.height));
    out.Word(0);  // no menu
    out.Word(0);  // the predefined dialog class
    out.Text(t.title);
    if (t.style & kDsSetFont) {
        out.Word(Short(t.fontPointSize));
        if (t.extended) {
            out.Word(400);  // weight
            out.Byte(0);    // italic
            out.Byte(1);    // character set: the default
        }
        out.Text(t.fontFace);
    }
    for (uint32_t i = 0; i < count; ++i) {
        const DialogItem& item = t.items[i];
        out.AlignTo4();
        out.Styles(t.extended, item.style, item.exStyle);
        out.Word(Short(item.units.left));
        out.Word(Short(item.units.top));
        out.Word(Short(item.units.Width()));
        out.Word(Short(item.units.Height()));
        if (t.extended)
            out.Dword(uint32_t(item.id));
        else
            out.Word(Short(item.id));
        if (const int atom = PredefinedClassAtom(item.className)) {
            out.Word(0xFFFF);
            out.Word(uint32_t(atom));
        } else {
            out.Text(item.className);
        }
        out.Text(item.text);
        out.Word(0);  // no creation data
    }
    return out.Take();
}

void RegisterControlClass(const std::string& className, ControlMaker maker) {
    if (maker)
        ControlClasses()[Upper(className)] = std::move(maker);
    else
        ControlClasses().erase(Upper(className));
}

const ControlMaker* FindControlClass(const std::string& className) {
    const std::string name = Upper(className);
    auto found = ControlClasses().find(name);
    if (found != ControlClasses().end()) return &found->second;
    auto builtIn = BuiltInControlClasses().find(name);
    return builtIn == BuiltInControlClasses().end() ? nullptr : &builtIn->second;
}

}  // namespace platform
