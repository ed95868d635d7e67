// The editor's main window and its device-change handler. The frame turns the platform's volume
// notices into calls of the installed device-change handler, imports files dropped on it and closes
// only after the question about unsaved changes. While a modal window or the progress dialog runs,
// it refuses drops, commands and closing: the document is busy under that window.
#pragma once

#include "general_tools/DeviceChange.h"
#include "ui/FrameWnd.h"

#include <memory>
#include <string>
#include <vector>

class CMainFrame : public UL::CSDIFrameWndEx {
public:
    CMainFrame();
    ~CMainFrame() override;

    // A modal window (message box, chooser, dialog) or the progress dialog is open over the editor.
    static bool IsBusy();

    // Commands are refused while busy.
    bool OnCmdMsg(const UL::CCommand& command) override;
    // When a card is connected, the files are imported as chosen in the song file chooser, and
    // model event 11 follows.
    void OnDropFiles(const std::vector<std::string>& paths) override;

    // A descriptor that turns readable when the program is asked to end (a signal): each frame then
    // closes as its close box makes it. While busy the request is kept: a running run is cancelled as
    // its Cancel button does, and the frame closes once the modal windows have ended. -1 for none.
    static void SetCloseRequestDescriptor(int fd);
    bool IsCloseRequestPending() const { return m_closePending; }

    // The idle update; then a kept close request is carried out once nothing is busy.
    void OnIdleUpdateCmdUI() override;

protected:
    int OnCreate() override;
    // Half the main form each way: the menu bar, the first group of buttons and a few rows of the
    // table; the rest of the form is reached by scrolling.
    platform::Size GetLeastUsefulSize() const override;
    // Commits an open cell editor, then asks about unsaved changes; a message shown by the commit, a
    // Cancel or a failed write keeps the window open.
    void OnClose() override;
    void OnDestroy() override;

private:
    void OnCloseRequest();

    std::unique_ptr<GT::CDeviceChangeWatcher> m_watcher;
    int m_closeWatch = 0;
    bool m_closePending = false;
};

// Turns a volume notice into a model event for the modal-dialog manager: an arrival is 6 when the
// volume is a CD drive holding an audio disc, else 5; a removal is 4 for the card's volume, else 3.
class CDeviceChangeHandler : public GT::IDeviceChangeHandler {
public:
    static CDeviceChangeHandler& GetInstance();
    bool OnDeviceChange(int event, const std::string& drive) override;

    // Whether the volume is a CD drive whose table of contents reads and holds an audio track. The
    // table is read apart from the CD reader, whose drive and table a running rip may be using.
    static bool HoldsAudioCd(const std::string& drive);

private:
    CDeviceChangeHandler() = default;
};
