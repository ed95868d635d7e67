#include "sound/model/Logger.h"

#include <boost/make_shared.hpp>

#include <deque>

namespace SL {

CGeneralStringBuffer::CGeneralStringBuffer(IPrinter* printer)
    : std::stringbuf(std::ios_base::out), m_printer(printer) {}

CGeneralStringBuffer::~CGeneralStringBuffer() { CGeneralStringBuffer::sync(); }

int CGeneralStringBuffer::sync() {
    char* const begin = pbase();
    char* const end = pptr();
    if (end == nullptr || end == begin) return 0;
    const std::string text(begin, end);
    // Rewind first: a printer that throws must not make the text print twice.
    setp(begin, epptr());
    if (m_printer) m_printer->Print(text);
    return 0;
}

CLogger::CLogger(boost::shared_ptr<CGeneralStringBuffer::IPrinter> printer)
    : std::ostream(nullptr),
      m_printer(std::move(printer)),
      m_buffer(boost::make_shared<CGeneralStringBuffer>(m_printer.get())) {
    rdbuf(m_buffer.get());  // also clears the bad state that the null buffer set
}

CLogger::~CLogger() {
    // Print the rest while the printer is alive, and keep the stream off the dying buffer.
    m_buffer.reset();
    rdbuf(nullptr);
}

namespace {

// Empties itself from the top down at exit.
class CLoggerStack {
public:
    ~CLoggerStack() {
        while (!m_loggers.empty()) m_loggers.pop_back();
    }
    std::deque<boost::shared_ptr<CLogger>>& Loggers() { return m_loggers; }

private:
    std::deque<boost::shared_ptr<CLogger>> m_loggers;
};

std::deque<boost::shared_ptr<CLogger>>& LoggerStack() {
    static CLoggerStack stack;
    return stack.Loggers();
}

}  // namespace

void PushLogger(boost::shared_ptr<CGeneralStringBuffer::IPrinter> printer) {
    LoggerStack().push_back(boost::make_shared<CLogger>(std::move(printer)));
}

std::ostream& CurrentLogger() {
    auto& loggers = LoggerStack();
    if (loggers.empty()) PushLogger(boost::make_shared<CLogger::CNullPrinter>());
    return *loggers.back();
}

void LogNotice(const char* notice, const std::string& path) { CurrentLogger() << notice << path << '\n' << std::flush; }

}  // namespace SL
