#include "platform/system/EventLoop.h"

namespace platform {

namespace {
IEventLoop*& Installed() {
    static IEventLoop* loop = nullptr;
    return loop;
}
}  // namespace

IEventLoop* GetEventLoop() { return Installed(); }

void SetEventLoop(IEventLoop* loop) { Installed() = loop; }

}  // namespace platform
