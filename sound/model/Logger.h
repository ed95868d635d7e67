// The sound library's notices: text written to the current logger collects in its buffer, and each
// flush hands the collected text to the logger's printer as one piece.
#pragma once

#include <boost/shared_ptr.hpp>

#include <ostream>
#include <sstream>
#include <string>

namespace SL {

// An output-only string buffer that prints what was written since the last sync.
class CGeneralStringBuffer : public std::stringbuf {
public:
    class IPrinter {
    public:
        virtual ~IPrinter() = default;
        virtual void Print(const std::string& text) = 0;
    };

    // printer is not owned and must outlive the buffer.
    explicit CGeneralStringBuffer(IPrinter* printer);
    // Prints text written since the last flush.
    ~CGeneralStringBuffer() override;

protected:
    // Prints the pending text, if any, and reuses the space; always succeeds.
    int sync() override;

private:
    IPrinter* m_printer;
};

class CLogger : public std::ostream {
public:
    // Discards every text.
    class CNullPrinter : public CGeneralStringBuffer::IPrinter {
    public:
        void Print(const std::string&) override {}
    };

    explicit CLogger(boost::shared_ptr<CGeneralStringBuffer::IPrinter> printer);
    ~CLogger() override;

    CLogger(const CLogger&) = delete;
    CLogger& operator=(const CLogger&) = delete;

private:
    // Declared first so that it outlives the buffer, whose destruction prints.
    boost::shared_ptr<CGeneralStringBuffer::IPrinter> m_printer;
    boost::shared_ptr<CGeneralStringBuffer> m_buffer;
};

// Pushes a new logger over the printer on top of the process-wide stack.
void PushLogger(boost::shared_ptr<CGeneralStringBuffer::IPrinter> printer);
// The logger on top of the stack; on an empty stack first pushes one over a CNullPrinter.
// Loggers are never popped, so the reference stays valid until exit.
std::ostream& CurrentLogger();

// The wave loader's two notices; each is logged as the text, the path, a line feed, then a flush.
constexpr const char* kCannotOpenFileNotice = "Cannot open the file.: ";
constexpr const char* kParameterNormalizedNotice = "Invalid parameter has normalized.: ";
void LogNotice(const char* notice, const std::string& path);

}  // namespace SL
