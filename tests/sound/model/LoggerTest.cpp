#include "sound/model/Logger.h"

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

#include <string>
#include <vector>

namespace {

class RecordingPrinter : public SL::CGeneralStringBuffer::IPrinter {
public:
    void Print(const std::string& text) override { printed.push_back(text); }
    std::vector<std::string> printed;
};

TEST(Logger, CurrentLoggerDiscardsByDefaultAndStaysTheSame) {
    std::ostream& first = SL::CurrentLogger();
    first << "nobody sees this" << 42 << std::endl;
    EXPECT_TRUE(first.good());
    EXPECT_EQ(&SL::CurrentLogger(), &first);
}

TEST(Logger, EachNoticeIsPrintedAsOneTextOnFlush) {
    auto printer = boost::make_shared<RecordingPrinter>();
    SL::PushLogger(printer);
    SL::LogNotice(SL::kCannotOpenFileNotice, "/music/a.wav");
    SL::LogNotice(SL::kParameterNormalizedNotice, "/music/b.aiff");
    SL::CurrentLogger().flush();  // nothing new: prints nothing
    EXPECT_EQ(printer->printed, (std::vector<std::string>{"Cannot open the file.: /music/a.wav\n",
                                                          "Invalid parameter has normalized.: /music/b.aiff\n"}));
    EXPECT_TRUE(SL::CurrentLogger().good());
}

TEST(Logger, LongTextIsNotCutIntoSeveralPrints) {
    auto printer = boost::make_shared<RecordingPrinter>();
    SL::PushLogger(printer);
    const std::string path(100000, 'x');
    SL::LogNotice(SL::kCannotOpenFileNotice, path);
    ASSERT_EQ(printer->printed.size(), 1u);
    EXPECT_EQ(printer->printed[0], "Cannot open the file.: " + path + "\n");
}

TEST(Logger, UnflushedTextIsPrintedWhenTheLoggerGoes) {
    auto printer = boost::make_shared<RecordingPrinter>();
    {
        SL::CLogger logger(printer);
        logger << "first" << std::flush << "pending " << 7;
        EXPECT_EQ(printer->printed, (std::vector<std::string>{"first"}));
    }
    EXPECT_EQ(printer->printed, (std::vector<std::string>{"first", "pending 7"}));
}

}  // namespace
