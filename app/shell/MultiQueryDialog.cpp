#include "app/shell/MultiQueryDialog.h"

#include "app/card/DocumentModel.h"
#include "app/card/MessageTable.h"
#include "app/shell/AlbumInfo.h"
#include "general_tools/CharacterCodeConverter.h"
#include "platform/window/Application.h"
#include "resources/ResourceIds.h"
#include "ui/ListSelection.h"
#include "ui/TableCellEditors.h"
#include "ui/TableCellRenderers.h"

#include <boost/make_shared.hpp>

namespace {

const char kTableSection[] = "QueryTableControl";
const char kWidthKey[] = "ColumnWidth";
constexpr int kFitHeader = -2;

// The window the chooser sits over: the one the user works in (the ripping dialog), else the main one.
platform::Window* Owner() {
    platform::Window* active = platform::ActiveWindow();
    return active != nullptr ? active : platform::MainWindow();
}

// A text of the message table (ANSI code page) for the window's title, which takes UTF-8.
std::string TitleText(int id) {
    GT::ICharacterCodeConverter& converter = GT::GetCharacterCodeConverter();
    return converter.ToUtf8(converter.FromAnsi(GetTextCodeTable().GetText(id)));
}

}  // namespace

// --- the model ---

int CQueryTableModel::GetRowCount() const { return static_cast<int>(GetAlbumTitleList().size()); }

std::string CQueryTableModel::GetColumnName(int column) const { return column == 0 ? "Album Name" : std::string(); }

const std::type_info& CQueryTableModel::GetValueClass(int, int column) const {
    return column == 0 ? typeid(std::string) : typeid(void);
}

UL::CCellValue CQueryTableModel::GetValueAt(int row, int column) const {
    const std::vector<std::string>& titles = GetAlbumTitleList();
    if (column == 0 && row >= 0 && static_cast<size_t>(row) < titles.size())
        return UL::CCellValue(titles[static_cast<size_t>(row)]);
    return UL::CCellValue(std::string());
}

// --- the dialog ---

CMultiQueryDialog::CMultiQueryDialog() : UL::CResizableDialog(IDD_CD_INFORMATION_SELECT, Owner(), true) {
    CDocumentModel::GetInstance().AddListener(this);
}

CMultiQueryDialog::~CMultiQueryDialog() {
    CDocumentModel::GetInstance().RemoveListener(this);
    // The controls go with the window, before the members that took them over.
    DestroyWindow();
}

int CMultiQueryDialog::DoModal() {
    m_chosen = -1;
    return UL::CResizableDialog::DoModal() == platform::kCommandOk ? m_chosen : -1;
}

bool CMultiQueryDialog::OnInitDialog() {
    if (!UL::CResizableDialog::OnInitDialog()) return false;
    const GT::CTextCodeTable& texts = GetTextCodeTable();
    GetWindow()->SetTitle(TitleText(MSG_SELECT_CD_INFORMATION));
    m_message.SubclassDlgItem(IDC_QUERY_MESSAGE, *GetWindow());
    m_message.SetText(texts.GetText(MSG_SEVERAL_FOUND), UL::kEncodingAnsi);

    m_table.SubclassDlgItem(IDC_QUERY_TABLE, *GetWindow());
    auto renderers = boost::make_shared<UL::CMappedTableCellRendererResolver>();
    renderers->Add({-1, 0}, boost::make_shared<UL::CStringTableCellRenderer>(0));
    auto editors = boost::make_shared<UL::CMappedTableCellEditorResolver>();
    editors->Add({-1, 0}, boost::make_shared<UL::CStringTableCellEditor>(false));
    m_table.SetRendererResolver(renderers);
    m_table.SetEditorResolver(editors);
    m_table.SetSelection(boost::make_shared<UL::CListSingleSelection>());
    m_table.SetModel(boost::make_shared<CQueryTableModel>());
    m_table.SetColumnWidthSettings(kTableSection, kWidthKey, {kFitHeader});
    m_table.Refresh();
    const boost::shared_ptr<UL::IListSelection>& selection = m_table.GetSelection();
    if (m_table.GetModel()->GetRowCount() > 0) {
        selection->SetOne(0, true, true);
        selection->SetLead(0);
    }
    m_table.Refresh();
    m_table.SetFocus();
    return true;
}

void CMultiQueryDialog::OnDestroy() {
    m_table.DestroyWindow();
    UL::CResizableDialog::OnDestroy();
}

void CMultiQueryDialog::Layout(int, int) {
    UL::CDialogLayout layout(GetWindow(), &GetTemplate());
    layout.Add(IDC_QUERY_TABLE, UL::kAnchorAll);
    layout.Add(IDC_QUERY_MESSAGE, UL::kAnchorTopLeft);
    layout.Add(platform::kCommandOk, UL::kAnchorRight | UL::kAnchorBottom);
}

void CMultiQueryDialog::OnOK() {
    m_chosen = m_table.GetSelection() ? m_table.GetSelection()->GetLead() : -1;
    EndDialog(platform::kCommandOk);
}

void CMultiQueryDialog::OnModelEvent(const CModelEvent& event) {
    if (event.id != CModelEvent::DRIVE_REMOVED || !HasWindow()) return;
    if (m_table.GetSelection()) m_table.GetSelection()->SetAll(false);
    GetAlbumTitleList().clear();
    m_table.Refresh();
    EndDialog(platform::kCommandCancel);
}

boost::shared_ptr<IMultiQueryDialog> CreateMultiQueryDialog() {
    // Made from the whole dialog's pointer, so that the whole dialog is deleted.
    return boost::shared_ptr<IMultiQueryDialog>(new CMultiQueryDialog);
}
