#pragma once
// The about box: a plain modal window that only closes.

#include "platform/WindowHost.h"

namespace velmora {

class AboutDialog : public DialogHandler {
public:
    explicit AboutDialog(WindowHost& host) : host_(host) {}
    void onInitDialog(WindowId self) override { self_ = self; }
    void onCommand(int commandId) override {
        if (commandId == IdOk || commandId == IdCancel) host_.endDialog(self_, commandId);
    }

private:
    WindowHost& host_;
    WindowId self_ = 0;
};

} // namespace velmora
