// A progress object for tests: records every call in order and behaves like the
// progress dialog (stored values, cancel only while cancelable, Begin resets),
// with a scripted cancel press.
#pragma once

#include "general_tools/Progress.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace gbxtest {

class RecordingProgress : public GT::IProgress {
public:
    // Each call as a line: "Begin", "End", "SetRange 10", "SetPos 3", "Step",
    // "SetTitle text", "SetMessage text", "SetCancelable 1", "IsCancelled".
    std::vector<std::string> calls;

    // The user presses Cancel while the n-th IsCancelled call (counted from 1
    // over the object's life) handles its messages; 0 never.
    int cancelAtCheck = 0;

    void Begin() override {
        Record("Begin");
        m_pos = 0;
        m_cancelled = false;
    }
    void End() override { Record("End"); }
    void SetRange(int steps) override {
        Record("SetRange " + std::to_string(steps));
        m_range = steps;
    }
    int GetRange() const override { return m_range; }
    void SetPos(int pos) override {
        Record("SetPos " + std::to_string(pos));
        m_pos = pos;
    }
    int GetPos() const override { return m_pos; }
    // Recorded as one step (not as the SetPos it stands for).
    void Step() override {
        Record("Step");
        ++m_pos;
    }
    void SetTitle(const std::string& title) override {
        Record("SetTitle " + title);
        m_title = title;
    }
    std::string GetTitle() const override { return m_title; }
    void SetMessage(const std::string& message) override {
        Record("SetMessage " + message);
        m_message = message;
    }
    std::string GetMessage() const override { return m_message; }
    void SetCancelable(bool cancelable) override {
        Record(std::string("SetCancelable ") + (cancelable ? "1" : "0"));
        m_cancelable = cancelable;
    }
    bool IsCancelable() const override { return m_cancelable; }
    bool IsCancelled() override {
        Record("IsCancelled");
        ++m_checks;
        if (cancelAtCheck > 0 && m_checks == cancelAtCheck) PressCancel();
        return m_cancelled;
    }

    // A press of Cancel now; ignored unless the run is cancelable.
    void PressCancel() {
        if (m_cancelable) m_cancelled = true;
    }

    // Calls whose line starts with the name ("Step", "SetPos", ...).
    int Count(const std::string& name) const {
        return static_cast<int>(std::count_if(calls.begin(), calls.end(), [&name](const std::string& c) {
            return c.compare(0, name.size(), name) == 0 && (c.size() == name.size() || c[name.size()] == ' ');
        }));
    }

private:
    void Record(std::string call) { calls.push_back(std::move(call)); }

    int m_range = 100;  // as the dialog starts
    int m_pos = 0;
    int m_checks = 0;
    bool m_cancelable = false;
    bool m_cancelled = false;
    std::string m_title;
    std::string m_message;
};

}  // namespace gbxtest
