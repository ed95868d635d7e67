#include "general_tools/TextOut.h"

#include "general_tools/StringFunctions.h"

#include <cstdarg>
#include <cstdint>

namespace GT {

void ATextOut::Write(const std::string& text) {
    std::size_t lineStarts = m_atLineStart ? 1 : 0;
    for (char c : text) lineStarts += c == '\n' ? 1 : 0;
    std::string out;
    out.reserve(text.size() + lineStarts * m_indent.size());
    for (char c : text) {
        if (m_atLineStart) out += m_indent;
        out += c;
        m_atLineStart = c == '\n';
    }
    Output(out);
}

void ATextOut::Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string text = FormatStringV(format, args);
    va_end(args);
    Write(text);
}

void ATextOut::ChangeIndent(int delta) {
    const std::int64_t length = static_cast<std::int64_t>(m_indent.size()) + delta;
    m_indent.assign(length > 0 ? static_cast<std::size_t>(length) : 0, ' ');
}

}  // namespace GT
