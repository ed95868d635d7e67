#include "app/card/ModalManager.h"

#include "app/card/AppServices.h"
#include "app/card/DocumentModel.h"
#include "app/card/MessageTable.h"
#include "ui/AboutDialog.h"

namespace {

constexpr int kExclamationIcon = 1;

// The About box as the program shows it: icon 4096, template 32867, icon control 0xFFFF,
// description 32825, version 32826, legal notice 32866.
class CAboutBox : public IModalDialog {
public:
    bool ShowModal() override {
        UL::CAboutDialogA dialog(4096, 32867, 0xFFFF, 32825, 32826, 32866);
        dialog.DoModal();
        return false;
    }
};

bool Never(int) { return false; }

int RunFactory(const CModalDialogFactory& factory) {
    const boost::shared_ptr<IModalDialog> dialog = factory ? factory() : boost::shared_ptr<IModalDialog>();
    if (!dialog) return AModalManager::NOT_CHOSEN;
    return dialog->ShowModal() ? AModalManager::CHOSEN : AModalManager::NOT_CHOSEN;
}

}  // namespace

int AModalManager::RunModal(const boost::function<int()>& show, const boost::function<bool(int)>& isConfirmed) {
    ++m_nestingCount;
    ++m_openedCount;
    int answer = show();
    --m_nestingCount;
    if (m_nestingCount != 0) return answer;
    CDocumentModel& model = CDocumentModel::GetInstance();
    if (m_removalDeferred) {
        model.Notify(CModelEvent(CModelEvent::CARD_GONE));
        if (isConfirmed(answer))
            GetTextDialog().Show(BOX_OK, kExclamationIcon, GetTextCodeTable().GetText(MSG_UNIT_NOT_FOUND));
        m_removalDeferred = false;
        answer = ANSWER_REMOVED;
    }
    if (!model.GetDocument().IsConnected()) model.Notify(CModelEvent(CModelEvent::MODAL_CLOSED_WITHOUT_CARD));
    return answer;
}

int AModalManager::ShowMessage(int kind, const std::string& text) {
    return RunModal([kind, &text] { return GetTextDialog().Show(kind, kExclamationIcon, text); },
                    [kind](int answer) {
                        return (kind == BOX_OK_CANCEL && answer == ANSWER_OK)
                               || (kind == BOX_YES_NO_CANCEL && answer == ANSWER_YES);
                    });
}

int AModalManager::ShowMessageById(int id) { return ShowText(GetTextCodeTable().GetText(id)); }

int AModalManager::AskOkCancel(int id) { return ShowMessage(BOX_OK_CANCEL, GetTextCodeTable().GetText(id)); }

int AModalManager::AskYesNo(int id) { return ShowMessage(BOX_YES_NO, GetTextCodeTable().GetText(id)); }

int AModalManager::AskYesNoCancel(int id) { return ShowMessage(BOX_YES_NO_CANCEL, GetTextCodeTable().GetText(id)); }

int AModalManager::ChooseSongFiles(std::vector<std::string>& paths) {
    return RunModal([&paths] { return CFileDialogX::GetInstance().ChooseFiles(paths); },
                    [](int answer) { return answer == CHOSEN; });
}

int AModalManager::ChooseFolder(const std::string& initialFolder, const std::string& caption, std::string& folder) {
    return RunModal([&] { return GetDirectoryDialog().Browse(initialFolder, caption, folder); },
                    [](int answer) { return answer == CHOSEN; });
}

bool AModalManager::RouteDeviceEvent(const CModelEvent& event) {
    CDocumentModel& model = CDocumentModel::GetInstance();
    if (m_nestingCount != 0 || m_removalDeferred) {
        switch (event.id) {
            case CModelEvent::DRIVE_REMOVED:
            case CModelEvent::AUDIO_CD_ARRIVED:
                model.Notify(event);
                break;
            case CModelEvent::CARD_GONE:
                m_removalDeferred = true;
                model.Notify(CModelEvent(CModelEvent::CARD_REMOVED_IN_MODAL, event.text));
                break;
            default:
                break;  // an arrival waits for the connect attempt after the window closes
        }
        return true;
    }
    const bool unsaved = model.GetDocument().NeedsSaving();
    model.Notify(event);
    if (event.id == CModelEvent::CARD_GONE && unsaved) ShowMessageById(MSG_WRITE_FAILED);
    return true;
}

CModalManager& CModalManager::GetInstance() {
    static CModalManager manager;
    return manager;
}

void CModalManager::ShowAboutDialog() {
    RunModal(
        [this]() -> int {
            if (m_aboutFactory) return RunFactory(m_aboutFactory);
            CAboutBox box;
            box.ShowModal();
            return NOT_CHOSEN;
        },
        Never);
}

int CModalManager::ShowRippingDialog() {
    return RunModal([this] { return RunFactory(m_rippingFactory); }, [](int answer) { return answer == CHOSEN; });
}

void CModalManager::ShowProxyDialog() {
    RunModal([this] { return RunFactory(m_proxyFactory); }, Never);
}
