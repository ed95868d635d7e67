// The one gate for message boxes, choosers and modal dialogs. It counts how deeply modal windows
// are nested and, while any is open, holds back the device notices that would change the
// document under it: a removal of the card is acted on only when the outermost window has
// closed, and that window's answer then becomes -1.
#pragma once

#include "app/card/ModelEvents.h"

#include <boost/function.hpp>
#include <boost/shared_ptr.hpp>

#include <string>
#include <vector>

// A modal dialog that the program defines above the card side (the ripping, proxy and About
// dialogs); the manager reaches it through a factory registered at start-up.
class IModalDialog {
public:
    virtual ~IModalDialog() = default;
    // Shows the dialog modally; true when it ended with OK.
    virtual bool ShowModal() = 0;
};
typedef boost::function<boost::shared_ptr<IModalDialog>()> CModalDialogFactory;

class AModalManager {
public:
    // Box kinds.
    enum : int { BOX_OK = 0, BOX_OK_CANCEL = 1, BOX_YES_NO = 2, BOX_YES_NO_CANCEL = 3 };
    // Answers; ANSWER_REMOVED when a removal of the card was held back while the window was open.
    enum : int { ANSWER_REMOVED = -1, ANSWER_OK = 0, ANSWER_CANCEL = 1, ANSWER_YES = 2, ANSWER_NO = 3 };
    // Answers of the choosers and the ripping dialog.
    enum : int { CHOSEN = 0, NOT_CHOSEN = 1 };

    virtual ~AModalManager() = default;

    virtual void ShowAboutDialog() = 0;
    // 0 when the ripping dialog ended with OK, 1 otherwise, -1 as above.
    virtual int ShowRippingDialog() = 0;

    // A message box of that kind with the exclamation icon.
    int ShowMessage(int kind, const std::string& text);
    int ShowText(const std::string& text) { return ShowMessage(BOX_OK, text); }
    // The message table's text in the current language.
    int ShowMessageById(int id);
    int AskOkCancel(int id);
    int AskYesNo(int id);
    int AskYesNoCancel(int id);

    // The song file chooser: 0 chosen (paths appended), 1 cancelled, -1 as above.
    int ChooseSongFiles(std::vector<std::string>& paths);
    // The folder chooser: 0 chosen, 1 cancelled, -1 as above.
    int ChooseFolder(const std::string& initialFolder, const std::string& caption, std::string& folder);

    // A device event of the device-change handler: passed on at once, held back or dropped.
    bool RouteDeviceEvent(const CModelEvent& event);

    int GetNestingCount() const { return m_nestingCount; }
    // How many modal windows have been opened so far: a change tells that something asked or showed.
    int GetOpenedCount() const { return m_openedCount; }
    bool IsRemovalDeferred() const { return m_removalDeferred; }

protected:
    // Every modal window runs in this frame: counted while open; when the outermost closes, a
    // held-back removal is sent (with message 33 after a confirmed window, and the answer -1),
    // then event 7 when no card is connected.
    int RunModal(const boost::function<int()>& show, const boost::function<bool(int)>& isConfirmed);

private:
    int m_nestingCount = 0;
    int m_openedCount = 0;
    bool m_removalDeferred = false;
};

class CModalManager : public AModalManager {
public:
    static CModalManager& GetInstance();

    void ShowAboutDialog() override;
    int ShowRippingDialog() override;
    // The proxy dialog; its result is not used.
    void ShowProxyDialog();

    // The dialogs that the program defines. Without a ripping or proxy factory nothing is
    // shown and the dialog counts as cancelled; without an About factory the library's About
    // box is shown.
    void SetAboutDialogFactory(const CModalDialogFactory& factory) { m_aboutFactory = factory; }
    void SetRippingDialogFactory(const CModalDialogFactory& factory) { m_rippingFactory = factory; }
    void SetProxyDialogFactory(const CModalDialogFactory& factory) { m_proxyFactory = factory; }

private:
    CModalManager() = default;

    CModalDialogFactory m_aboutFactory;
    CModalDialogFactory m_rippingFactory;
    CModalDialogFactory m_proxyFactory;
};
