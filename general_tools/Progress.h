// How long operations report progress and learn of a cancel request, without
// knowing what shows it. Every operation has a default, so an implementation
// overrides only what it supports.
#pragma once

#include <string>

namespace GT {

class IProgress {
public:
    virtual ~IProgress() = default;

    // Starts a run: position 0, an earlier cancel request forgotten.
    virtual void Begin() {}
    virtual void End() {}
    virtual void SetRange(int /*steps*/) {}
    virtual int GetRange() const { return 0; }
    virtual void SetPos(int /*pos*/) {}
    virtual int GetPos() const { return 0; }
    // One more step, always through GetPos and SetPos.
    virtual void Step() { SetPos(GetPos() + 1); }
    virtual void SetTitle(const std::string& /*title*/) {}
    virtual std::string GetTitle() const { return std::string(); }
    virtual void SetMessage(const std::string& /*message*/) {}
    virtual std::string GetMessage() const { return std::string(); }
    virtual void SetCancelable(bool /*cancelable*/) {}
    virtual bool IsCancelable() const { return false; }
    // Whether the user asked to cancel since Begin (only while cancelable).
    virtual bool IsCancelled() { return false; }
};

// Shows nothing and never cancels: for work that runs without a dialog.
class CDefaultProgress : public IProgress {};

}  // namespace GT
