// For tests of the SDK manager and the CD-recognition module: status codes compared and printed in hex,
// and a started manager with a client and a user that is stopped again when the test ends.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "sdk_manager/tmsdk_sdkmanager.h"
#include "sdk_manager/tmsdk_sdkmanager_test.h"

namespace gbxtest {

inline std::string StatusText(uint32_t code) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", code);
    return text;
}

inline ::testing::AssertionResult StatusEquals(const char* actualText, const char* expectedText, uint32_t actual,
                                               uint32_t expected) {
    if (actual == expected) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << actualText << " is " << StatusText(actual) << ", expected " << expectedText
                                         << " = " << StatusText(expected);
}

#define EXPECT_STATUS(actual, expected) EXPECT_PRED_FORMAT2(::gbxtest::StatusEquals, actual, expected)
#define ASSERT_STATUS(actual, expected) ASSERT_PRED_FORMAT2(::gbxtest::StatusEquals, actual, expected)

class TmsdkSession {
public:
    TmsdkSession() {
        EXPECT_STATUS(tmsdk_sdkmanager_initialize(&handle), 0u);
        EXPECT_STATUS(tmsdk_sdkmanager_client_create("4718263", "7C2E9A41D05B38F6A1C4E7092B5D8F30", "1", &client), 0u);
        EXPECT_STATUS(tmsdk_sdkmanager_user_register_new(client, 0, &user), 0u);
    }
    ~TmsdkSession() {
        EXPECT_STATUS(tmsdk_sdkmanager_user_release(user), 0u);
        EXPECT_STATUS(tmsdk_sdkmanager_client_release(client), 0u);
        EXPECT_STATUS(tmsdk_sdkmanager_shutdown(), 0u);
    }
    TmsdkSession(const TmsdkSession&) = delete;
    TmsdkSession& operator=(const TmsdkSession&) = delete;

    template <class Table>
    const Table* Interface(const char* name) const {
        const void* table = nullptr;
        EXPECT_STATUS(handle->interface_get(name, &table), 0u);
        return static_cast<const Table*>(table);
    }

    const tmsdk_sdkmanager_handle_t* handle = nullptr;
    tmsdk_client_t client = nullptr;
    tmsdk_user_t user = nullptr;
};

}  // namespace gbxtest
