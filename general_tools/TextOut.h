#pragma once

// Sink for diagnostic and error text: printf-style formatting and an indent before every line,
// with one destination operation left to derived classes.

#include <string>

namespace GT {

class ITextOut {
public:
    virtual ~ITextOut() = default;
    virtual void Write(const std::string& /*text*/) {}
    virtual void Format(const char* /*format*/, ...) __attribute__((format(printf, 2, 3))) {}
    virtual void ChangeIndent(int /*delta*/) {}
};

class ATextOut : public ITextOut {
public:
    // Puts the indent before each character that starts a line and hands the whole result to
    // Output once, even for the empty text. A line may be written across several calls.
    void Write(const std::string& text) override;
    // Formats as FormatString does (cut to 509 characters), then writes.
    void Format(const char* format, ...) override __attribute__((format(printf, 2, 3)));
    // The indent becomes max(0, its length + delta) spaces.
    void ChangeIndent(int delta) override;

protected:
    // The destination; derived classes show or collect the text.
    virtual void Output(const std::string& /*text*/) {}

private:
    std::string m_indent;
    bool m_atLineStart = true;
};

}  // namespace GT
