// A device-change handler that records every notice it is given.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "general_tools/DeviceChange.h"

namespace gbxtest {

class RecordingDeviceChangeHandler : public GT::IDeviceChangeHandler {
public:
    bool OnDeviceChange(int event, const std::string& drive) override {
        notices.emplace_back(event, drive);
        return true;
    }
    std::vector<std::pair<int, std::string>> notices;

    // Installed handlers are never uninstalled, so tests install these, which live
    // as long as the program.
    static RecordingDeviceChangeHandler& First() {
        static RecordingDeviceChangeHandler handler;
        return handler;
    }
    static RecordingDeviceChangeHandler& Second() {
        static RecordingDeviceChangeHandler handler;
        return handler;
    }
};

}  // namespace gbxtest
