#include "app/shell/MainView.h"

#include "app/card/DocumentModel.h"
#include "app/card/MessageTable.h"
#include "app/card/ModalManager.h"
#include "app/shell/AppPaths.h"
#include "app/shell/MainFrame.h"
#include "general_tools/Drives.h"
#include "platform/window/Controls.h"
#include "platform/window/ReportList.h"
#include "resources/ResourceIds.h"
#include "ui/CursorStack.h"
#include "ui/DialogLayout.h"
#include "ui/Picture.h"
#include "ui/TableCellEditors.h"
#include "ui/TableCellRenderers.h"

#include <boost/make_shared.hpp>

#include <algorithm>

namespace {

struct CButtonInfo {
    int id;
    const char* picture;
    bool toggle;
};

// In the order of CViewA::EButton.
constexpr CButtonInfo kButtons[CViewA::BUTTON_COUNT] = {
    {IDC_CD_RIPPING, "bn_CD_Ripping.png", false},
    {IDC_IMPORT, "bn_Import.png", false},
    {IDC_EXPORT, "bn_Export.png", false},
    {IDC_DELETE, "bn_Delete.png", false},
    {IDC_SONG, "bn_Song.png", true},
    {IDC_RHYTHM, "bn_Rhythm.png", true},
    {IDC_USER, "bn_User.png", true},
    {IDC_SAVE, "bn_Write.png", false},
    {IDC_CONNECT, "bn_Disconnect.png", true},
};

constexpr int kCellTextFormat = platform::kTextLeft | platform::kTextVCentre | platform::kTextSingleLine;
constexpr int kToggleStates = 8;
constexpr int kPushStates = 4;
constexpr int kFitHeader = -2;
constexpr const char* kColumnWidthValue = "ColumnWidth";

}  // namespace

CViewA::CViewA() : UL::CFormViewEx(IDD_MAIN_FORM) {
    CDocumentModel::GetInstance().AddListener(this);
    SetCommandHandler(ID_SAVE_MEMORY, [this] { OnSaveMemory(); });
    SetUpdateHandler(ID_SAVE_MEMORY, [](UL::CCmdUI& ui) { ui.SetCheck(Document().GetSaveMemory() ? 1 : 0); });
    SetCommandHandler(ID_PROXY, [this] { OnProxy(); });
    SetCommandHandler(ID_SELECT_ALL, [this] { OnSelectAll(); });
}

CViewA::~CViewA() {
    CDocumentModel::GetInstance().RemoveListener(this);
    // The table's widths are stored while the table still is what it is.
    m_table.DestroyWindow();
}

CDocX& CViewA::Document() { return CDocumentModel::GetInstance().GetDocument(); }

int CViewA::GetButtonId(int index) { return index >= 0 && index < BUTTON_COUNT ? kButtons[index].id : 0; }

const char* CViewA::GetButtonPicture(int index) {
    return index >= 0 && index < BUTTON_COUNT ? kButtons[index].picture : "";
}

const char* CViewA::TableSection(int tab) {
    switch (tab) {
        case CDocumentModel::TAB_RHYTHM:
            return "RhythmTableControl";
        case CDocumentModel::TAB_USER:
            return "MySongTableControl";
        default:
            return "SongTableControl";
    }
}

void CViewA::DoDataExchange() {
    if (m_bound || GetWindow() == nullptr) return;
    for (int i = 0; i < BUTTON_COUNT; ++i) m_buttons[size_t(i)].SubclassDlgItem(kButtons[i].id, *GetWindow());
    m_table.SubclassDlgItem(IDC_SONG_TABLE, *GetWindow());
    m_bound = true;
}

void CViewA::Layout(int, int) {
    if (GetWindow() == nullptr) return;
    UL::CDialogLayout layout(GetWindow(), &GetTemplate());
    for (const CButtonInfo& button : kButtons) layout.Add(button.id, UL::kAnchorTopLeft, true);
    layout.Add(IDC_SONG_TABLE, UL::kAnchorAll);
}

void CViewA::OnDestroy() { m_table.DestroyWindow(); }

void CViewA::OnInitialUpdate() {
    DoDataExchange();
    UL::CFormViewEx::OnInitialUpdate();
    const std::string folder = CAppPaths::GetInstance().GetPath(CAppPaths::PICTURES) + "/";
    for (int i = 0; i < BUTTON_COUNT; ++i)
        SetUpButton(m_buttons[size_t(i)], folder + kButtons[i].picture, kButtons[i].toggle);
    BuildSongTable();
    Connect(true);
    if (!m_connected) CModalManager::GetInstance().ShowMessageById(MSG_UNIT_NOT_FOUND);
    Refresh();
    // The keyboard starts where the user works: in the table, not on the first button.
    m_table.SetFocus();
}

void CViewA::SetUpButton(UL::CButtonA& button, const std::string& picturePath, bool toggle) {
    button.AddListener(this);
    auto picture = boost::make_shared<UL::CStatePicture>(toggle ? kToggleStates : kPushStates, true, false);
    picture->GetPicture().Load(picturePath);
    const UL::CTextInfo::CColour black{0, 0, 0};
    const UL::CTextInfo::CColour white{0xFF00, 0xFF00, 0xFF00};
    button.Setup(toggle, picture, "",
                 boost::make_shared<UL::CTextInfo>("DEFAULT_GUI_FONT", 10, black, white, false, 1, 1, 1));
}

void CViewA::BuildSongTable() {
    m_resolver = boost::make_shared<CSongTableCellResolver>();
    m_model = boost::make_shared<CSongTableModel>();
    m_table.SetCellResolver(m_resolver);
    m_table.SetModel(m_model);
    CDocumentModel::GetInstance().SetShownTab(CDocumentModel::TAB_SONG);
    SetSortColumnForTab(CDocumentModel::TAB_SONG);
    m_table.AddCellEditorEventListener(this);
    SetUpTable();
}

void CViewA::SetSortColumnForTab(int tab) {
    const int column = tab == CDocumentModel::TAB_SONG ? CSongTableModel::ARTIST : CSongTableModel::NAME;
    m_resolver->SetSortColumn(CSongTableModel::MapModelColumn(tab, column));
}

void CViewA::SetUpTable() {
    const int tab = CDocumentModel::GetInstance().GetShownTab();
    auto renderers = boost::make_shared<UL::CMappedTableCellRendererResolver>();
    auto editors = boost::make_shared<UL::CMappedTableCellEditorResolver>();
    std::vector<int> textColumns = {CSongTableModel::NAME};
    if (tab == CDocumentModel::TAB_SONG) {
        textColumns.push_back(CSongTableModel::ARTIST);
        textColumns.push_back(CSongTableModel::ALBUM);
    }
    for (int column : textColumns) {
        const int view = CSongTableModel::MapModelColumn(tab, column);
        renderers->Add({-1, view}, boost::make_shared<UL::CStringTableCellRendererW>(kCellTextFormat));
        editors->Add({-1, view}, boost::make_shared<UL::CStringTableCellEditorW>(false));
    }
    const int protect = CSongTableModel::MapModelColumn(tab, CSongTableModel::PROTECT);
    renderers->Add({-1, protect}, boost::make_shared<UL::CBooleanTableCellRenderer>(kCellTextFormat, "Off", "On"));
    editors->Add({-1, protect}, boost::make_shared<UL::CBooleanTableCellEditor>("Off", "On", false));
    m_table.SetRendererResolver(renderers);
    m_table.SetEditorResolver(editors);
    // The tab's own columns and headers first: a width that fits the header fits these.
    m_table.Refresh();
    const int columns = CSongTableModel::MapModelColumn(tab, -1);
    m_table.SetColumnWidthSettings(TableSection(tab), kColumnWidthValue, std::vector<int>(size_t(columns), kFitHeader));
}

void CViewA::SelectList(int tab) {
    CDocumentModel::GetInstance().SetShownTab(tab);
    SetSortColumnForTab(tab);
    m_table.SaveColumnWidths();
    if (const auto& selection = m_table.GetSelection()) selection->SetAll(false);
    SetUpTable();
}

void CViewA::Refresh() {
    UpdateButtons();
    m_table.Refresh();
}

void CViewA::UpdateButtons() {
    const CDocX& document = Document();
    const bool connected = document.IsConnected();
    const int tab = CDocumentModel::GetInstance().GetShownTab();
    const UL::CButtonA* focused = nullptr;
    for (const UL::CButtonA& button : m_buttons) {
        if (button.GetControl() != nullptr && button.GetControl()->HasFocus()) focused = &button;
    }
    for (int i :
         {BUTTON_CD_RIPPING, BUTTON_IMPORT, BUTTON_EXPORT, BUTTON_DELETE, BUTTON_SONG, BUTTON_RHYTHM, BUTTON_USER})
        m_buttons[size_t(i)].SetEnabled(connected);
    m_buttons[BUTTON_SAVE].SetEnabled(connected && document.NeedsSaving());
    m_buttons[BUTTON_CONNECT].SetEnabled(m_connected);
    m_buttons[BUTTON_CONNECT].SetChecked(m_connected);
    m_buttons[BUTTON_SONG].SetChecked(tab == CDocumentModel::TAB_SONG);
    m_buttons[BUTTON_RHYTHM].SetChecked(tab == CDocumentModel::TAB_RHYTHM);
    m_buttons[BUTTON_USER].SetChecked(tab == CDocumentModel::TAB_USER);
    // A button that disabled itself (Save after writing) hands the keyboard to the table, not to the
    // next button, where a second Space would do something else.
    if (focused != nullptr && !focused->IsEnabled()) m_table.SetFocus();
    for (UL::CButtonA& button : m_buttons) {
        if (platform::Control* control = button.GetControl()) control->Invalidate();
    }
}

std::vector<CSongX*> CViewA::GetSelectedSongs() const {
    std::vector<CSongX*> songs;
    const auto& selection = m_table.GetSelection();
    if (!selection) return songs;
    const CSongList& list = Document().GetList(CDocumentModel::GetInstance().GetShownTab());
    for (int row : selection->GetSelected()) {
        if (row >= 0 && row < int(list.size())) songs.push_back(list[size_t(row)].song);
    }
    return songs;
}

void CViewA::SelectAddedSongs(const std::vector<CSongX*>& added) {
    const auto& selection = m_table.GetSelection();
    if (!selection) return;
    const CSongList& list = Document().GetList(CDocumentModel::GetInstance().GetShownTab());
    std::vector<int> rows;
    for (CSongX* song : added) {
        const auto found = std::find_if(list.begin(), list.end(), [song](const CSongRef& e) { return e.song == song; });
        if (found != list.end()) rows.push_back(int(found - list.begin()));
    }
    selection->SetSelected(rows);
    if (!rows.empty()) m_table.EnsureRowVisible(m_table.ModelRowToViewRow(rows.front()), 0);
    m_table.RepaintSelectedRows();
}

void CViewA::Connect(bool connect) {
    CDocX& document = Document();
    CDocumentModel& model = CDocumentModel::GetInstance();
    if (connect) {
        if (m_connected) return;
        UL::CWaitCursor wait;
        const std::string drive = document.FindCardDrive();
        if (!drive.empty()) {
            document.SetCardRoot(CDocX::MakeCardRoot(drive));
            m_connected = true;
        }
        // The document reads the card; one it refuses is no longer connected (OnModelEvent).
        model.Notify(CModelEvent(CModelEvent::CONNECT_FINISHED));
        return;
    }
    if (!m_connected) return;
    if (!document.AskSaveChanges()) {
        Refresh();
        return;
    }
    // The card went while the question was open: there is nothing left to eject.
    if (!m_connected || !document.IsConnected()) {
        m_connected = false;
        Refresh();
        return;
    }
    const std::string root = document.GetCardRoot();
    if (!GT::EjectRemovableDrive(root) && !GT::EjectRemovableDrive(root)) {
        CModalManager::GetInstance().ShowMessageById(MSG_EJECT_FAILED);
        Refresh();
        return;
    }
    model.Notify(CModelEvent(CModelEvent::CARD_GONE));
}

void CViewA::OnModelEvent(const CModelEvent& event) {
    switch (event.id) {
        case CModelEvent::CONNECT_FINISHED:
            if (!Document().IsConnected()) m_connected = false;
            Refresh();
            // The card's songs are what the user works on now.
            if (m_connected) m_table.SetFocus();
            break;
        case CModelEvent::CARD_GONE:
            m_connected = false;
            Refresh();
            break;
        case CModelEvent::VOLUME_ARRIVED:
        case CModelEvent::MODAL_CLOSED_WITHOUT_CARD:
            if (!Document().IsConnected()) Connect(true);
            break;
        case CModelEvent::RIPPING_ENDED_OK:
        case CModelEvent::IMPORT_ENDED:
            Refresh();
            SelectAddedSongs(Document().GetAddedSongs());
            break;
        case CModelEvent::SONGS_DELETED:
            if (const auto& selection = m_table.GetSelection()) selection->SetAll(false);
            Refresh();
            break;
        default:
            break;
    }
}

void CViewA::OnButtonClicked(const UL::CButtonEvent& event) {
    if (CMainFrame::IsBusy()) {
        UpdateButtons();  // a toggle button that flipped by itself flips back
        return;
    }
    const UL::CButtonA* source = nullptr;
    try {
        source = boost::any_cast<UL::CButtonA*>(event.GetSource());
    } catch (const boost::bad_any_cast&) {
        return;
    }
    const auto found = std::find_if(m_buttons.begin(), m_buttons.end(),
                                    [source](const UL::CButtonA& button) { return &button == source; });
    if (found == m_buttons.end()) return;
    CDocX& document = Document();
    CDocumentModel& model = CDocumentModel::GetInstance();
    CModalManager& manager = CModalManager::GetInstance();
    switch (int(found - m_buttons.begin())) {
        case BUTTON_CD_RIPPING:
            if (manager.ShowRippingDialog() == AModalManager::CHOSEN)
                model.Notify(CModelEvent(CModelEvent::RIPPING_ENDED_OK));
            break;
        case BUTTON_IMPORT:
            document.Import();
            model.Notify(CModelEvent(CModelEvent::IMPORT_ENDED));
            break;
        case BUTTON_EXPORT: {
            const std::vector<CSongX*> songs = GetSelectedSongs();
            if (!songs.empty()) document.ExportSongs(songs);
            break;
        }
        case BUTTON_DELETE: {
            const std::vector<CSongX*> songs = GetSelectedSongs();
            if (songs.empty()) break;
            if (manager.AskOkCancel(MSG_OK_TO_DELETE) != AModalManager::ANSWER_OK) break;
            document.DeleteSongs(songs);
            model.Notify(CModelEvent(CModelEvent::SONGS_DELETED));
            break;
        }
        case BUTTON_SONG:
            SelectList(CDocumentModel::TAB_SONG);
            Refresh();
            break;
        case BUTTON_RHYTHM:
            SelectList(CDocumentModel::TAB_RHYTHM);
            Refresh();
            break;
        case BUTTON_USER:
            SelectList(CDocumentModel::TAB_USER);
            Refresh();
            break;
        case BUTTON_SAVE:
            document.WriteToUnit();
            Refresh();
            break;
        case BUTTON_CONNECT:
            Connect(!m_connected);
            break;
        default:
            break;
    }
}

void CViewA::OnEditingStarted(const UL::CCellEditorEvent&) {
    // The document is busy under a modal window or the progress dialog: no edit may start now.
    if (CMainFrame::IsBusy()) m_table.CancelEditing();
}

void CViewA::OnEditingStopped(const UL::CCellEditorEvent&) { Refresh(); }

void CViewA::OnEditingCancelled(const UL::CCellEditorEvent&) {}

void CViewA::OnSaveMemory() { Document().SetSaveMemory(!Document().GetSaveMemory()); }

void CViewA::OnProxy() { CModalManager::GetInstance().ShowProxyDialog(); }

void CViewA::OnSelectAll() {
    if (const auto& selection = m_table.GetSelection()) selection->SetAll(true);
    Refresh();
}
