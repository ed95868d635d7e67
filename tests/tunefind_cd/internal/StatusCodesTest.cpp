#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/TmsdkSession.h"
#include "tunefind_cd/tfcd_internal.h"

namespace {

TEST(StatusCodesTest, CodesOfOtherPackagesAreCarriedIntoPackage81) {
    const struct {
        uint32_t code, expected;
    } rows[] = {
        {0, 0},
        {0x90810001u, 0x90810001u},  // the module's own codes pass unchanged
        {0x10810003u, 0x10810003u},
        {0x908101A4u, 0x908101A4u},
        {0x900D0002u, 0x90810002u},  // low word 2: no memory, whatever the package
        {0x90020002u, 0x90810002u},
        {0x90160002u, 0x90810002u},
        {0x100D0003u, 0x10810003u},  // low word 3: the not-found warning, whatever the package
        {0x90010003u, 0x10810003u},
        {0x90040003u, 0x10810003u},
        {0x90160165u, 0x90810165u},  // the service's three known codes
        {0x90160166u, 0x90810166u},
        {0x90160167u, 0x90810167u},
        {0x90160164u, 0x90810401u},  // its others
        {0x90160168u, 0x90810401u},
        {0x90040010u, 0x90810400u},
        {0x90140001u, 0x90810400u},
        {0x90070001u, 0x90810404u},
        {0x900E0001u, 0x90810405u},
        {0x90100009u, 0x90810403u},
        {0x90150001u, 0x90810402u},
        {0x900503A0u, 0x908103A0u},  // any other: its low word
        {0x900D0320u, 0x90810320u},
        {0x90010010u, 0x90810010u},
        {10, 0x9081000Au},  // the unit routines' own codes
        {7, 0x90810007u},
    };
    for (const auto& r : rows) EXPECT_STATUS(tfcd_map(r.code), r.expected) << gbxtest::StatusText(r.code);
    EXPECT_STATUS(tfcd_validation(0x90010010u), 0x90810010u);
    EXPECT_STATUS(tfcd_validation(0x90010003u), 0x90810003u);  // a validation keeps its low word, unmapped
}

struct HookCall {
    uint32_t line;
    std::string source;
    uint32_t code, reserved;
};
std::vector<HookCall> g_calls;
uint32_t g_answer = 0;

uint32_t RecordingHook(uint32_t line, const char* source, uint32_t code, uint32_t reserved) {
    g_calls.push_back({line, source ? source : "", code, reserved});
    return g_answer;
}

class ErrorHookTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_calls.clear();
        for (uint32_t& flags : tmsdk_sdkmanager_package_flags) flags = 0;
    }
    void TearDown() override {
        tmsdk_sdkmanager_error_callback = nullptr;
        for (uint32_t& flags : tmsdk_sdkmanager_package_flags) flags = 0;
    }
};

TEST_F(ErrorHookTest, TheHookIsAskedOnlyForFailuresOfAPackageThatReports) {
    const struct {
        const char* what;
        bool hook;
        uint32_t package, flags, answer, code, expected;
        size_t calls;
    } rows[] = {
        {"no hook", false, 0x81, 1, 0x12345678u, 0x90810001u, 0x90810001u, 0},
        {"report flag off", true, 0x81, 0, 0x12345678u, 0x90810001u, 0x90810001u, 0},
        {"only the log flag", true, 0x81, 8, 0x12345678u, 0x90810001u, 0x90810001u, 0},
        {"reported: the hook's answer", true, 0x81, 1, 0x12345678u, 0x90810001u, 0x12345678u, 1},
        {"hook answers 0: the failure stays", true, 0x81, 1, 0, 0x90810002u, 0x90810002u, 1},
        {"a warning is not a failure", true, 0x81, 1, 0x12345678u, 0x10810003u, 0x10810003u, 0},
        {"another package's flag", true, 0x81, 1, 0x12345678u, 0x900D0001u, 0x900D0001u, 0},
        {"its own package's flag", true, 0x0D, 1, 0x12345678u, 0x900D0001u, 0x12345678u, 1},
    };
    for (const auto& r : rows) {
        g_calls.clear();
        tmsdk_sdkmanager_package_flags[r.package] = r.flags;
        tmsdk_sdkmanager_error_callback = r.hook ? RecordingHook : nullptr;
        g_answer = r.answer;
        EXPECT_STATUS(tmlib_report(r.code, 123, "unit.cpp"), r.expected) << r.what;
        ASSERT_EQ(g_calls.size(), r.calls) << r.what;
        if (r.calls) {
            EXPECT_EQ(g_calls[0].line, 123u);
            EXPECT_EQ(g_calls[0].source, "unit.cpp");
            EXPECT_STATUS(g_calls[0].code, r.code);
            EXPECT_EQ(g_calls[0].reserved, 0u);
        }
        tmsdk_sdkmanager_package_flags[r.package] = 0;
    }
}

}  // namespace
