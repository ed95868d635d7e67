#include "general_tools/DeviceChange.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/ManualEventLoop.h"
#include "tests/support/RecordingDeviceChangeHandler.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TestSupport.h"

namespace {

namespace fs = std::filesystem;

using gbxtest::RecordingDeviceChangeHandler;
RecordingDeviceChangeHandler& First() { return RecordingDeviceChangeHandler::First(); }
RecordingDeviceChangeHandler& Second() { return RecordingDeviceChangeHandler::Second(); }

TEST(DeviceChangeTest, DefaultHandlerDoesNothingUntilOneIsInstalled) {
    GT::IDeviceChangeHandler* handler = GT::GetDeviceChangeHandler();
    ASSERT_NE(handler, nullptr);
    EXPECT_FALSE(handler->OnDeviceChange(GT::DEVICE_ARRIVAL, "/media/QM-3"));
    EXPECT_EQ(GT::GetDeviceChangeHandler(), handler);  // the same default each time

    First().Install();
    EXPECT_EQ(GT::GetDeviceChangeHandler(), &First());
    Second().Install();
    EXPECT_EQ(GT::GetDeviceChangeHandler(), &Second());
}

TEST(DeviceChangeTest, WatcherReportsEachVolumeToTheInstalledHandler) {
    gbxtest::TempDir dir;
    const std::string card = dir.File("QM-3");
    const std::string other = dir.File("Stick");
    gbxtest::ScopedEnvironment env("GBX_VOLUMES", card + ":" + other);
    First().Install();
    First().notices.clear();
    GT::CDeviceChangeWatcher watcher;
    gbxtest::ManualEventLoop loop;
    ASSERT_TRUE(watcher.Attach(loop));

    fs::create_directory(card);
    fs::create_directory(other);
    loop.Advance(1000);
    fs::remove(card);
    loop.Advance(1000);
    const std::vector<std::pair<int, std::string>> expected = {
        {GT::DEVICE_ARRIVAL, card}, {GT::DEVICE_ARRIVAL, other}, {GT::DEVICE_REMOVAL, card}};
    EXPECT_EQ(First().notices, expected);

    watcher.Detach();
    fs::remove(other);
    watcher.Dispatch();  // tests and the loop may also call it directly
    EXPECT_EQ(First().notices.back(), std::make_pair(int(GT::DEVICE_REMOVAL), other));
}

}  // namespace
