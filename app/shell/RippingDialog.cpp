#include "app/shell/RippingDialog.h"

#include "app/card/AppServices.h"
#include "app/card/AudioTransfer.h"
#include "app/card/CdAudioReader.h"
#include "app/card/DocumentModel.h"
#include "app/card/Domain.h"
#include "app/card/MessageTable.h"
#include "app/card/ModalManager.h"
#include "app/card/VoxaFiles.h"
#include "app/shell/AppPaths.h"
#include "app/shell/TrackTableModel.h"
#include "general_tools/Files.h"
#include "general_tools/StringFunctions.h"
#include "platform/window/Application.h"
#include "resources/ResourceIds.h"
#include "ui/CmdTarget.h"
#include "ui/CursorStack.h"
#include "ui/Picture.h"
#include "ui/TableCellEditors.h"
#include "ui/TableCellRenderers.h"

#include <boost/make_shared.hpp>

#include <algorithm>

namespace {

const char kTableSection[] = "TrackTableControl";
const char kWidthKey[] = "ColumnWidth";
constexpr int kFitHeader = -2;
const char kLogoName[] = "tm_logo60s.png";
const char kTemporaryPrefix[] = "___TEMPORARY_RIPPING_FILE___";
constexpr uint32_t kTickMs = 100;

CDocX& Document() { return CDocumentModel::GetInstance().GetDocument(); }

void ShowMessage(int id) { CModalManager::GetInstance().ShowMessageById(id); }

// Two tables of contents of the same disc: the same entries, at the same frames, of the same kind.
bool SameToc(const GT::CCdToc& a, const GT::CCdToc& b) {
    if (a.GetEntryCount() != b.GetEntryCount()) return false;
    for (int i = 0; i < a.GetEntryCount(); ++i) {
        const GT::CCdTocEntry& x = a.GetEntries()[static_cast<size_t>(i)];
        const GT::CCdTocEntry& y = b.GetEntries()[static_cast<size_t>(i)];
        if (x.startFrame != y.startFrame || (x.dataTrack != 0) != (y.dataTrack != 0)) return false;
    }
    return true;
}

// The disc the rip started from is still in its drive: the drive opened again in the reader (which the
// reader then reads from) gives the same table of contents.
bool IsSameDiscInDrive(const std::string& drive, const GT::CCdToc& toc) {
    CCdAudioReader& reader = CCdAudioReader::GetInstance();
    return reader.Open(drive) && SameToc(reader.GetToc(), toc);
}

bool IsDataTrack(const GT::CCdToc& toc, int track) {
    return toc.GetEntries()[static_cast<size_t>(track)].dataTrack != 0;
}

}  // namespace

// --- the logic ---

void ARippingDialog::Reset() {
    m_selectedDrive = -1;
    m_edited = false;
    GetCurrentAlbum().Clear();
}

GT::CDriveList ARippingDialog::ListDrives() const { return GT::ListDrives(); }

boost::shared_ptr<IMultiQueryDialog> ARippingDialog::CreateChooser() const { return CreateMultiQueryDialog(); }

void ARippingDialog::UpdateDriveList() {
    std::string remembered;
    if (m_selectedDrive >= 0 && static_cast<size_t>(m_selectedDrive) < m_drives.size())
        remembered = m_drives[static_cast<size_t>(m_selectedDrive)];
    m_drives.clear();
    m_selectedDrive = -1;
    for (const GT::CDriveRecord& drive : ListDrives())
        if (IsAudioCdInDrive(drive.first)) m_drives.push_back(drive.first);
    const auto found = std::find(m_drives.begin(), m_drives.end(), remembered);
    if (!remembered.empty() && found != m_drives.end())
        m_selectedDrive = static_cast<int>(found - m_drives.begin());
    else if (!m_drives.empty())
        m_selectedDrive = 0;
}

void ARippingDialog::OpenSelectedDrive() {
    UL::CWaitCursor wait;
    CCdAudioReader& reader = CCdAudioReader::GetInstance();
    reader.ClearToc();
    if (m_selectedDrive >= 0 && static_cast<size_t>(m_selectedDrive) < m_drives.size()
        && reader.Open(m_drives[static_cast<size_t>(m_selectedDrive)]))
        return;
    Reset();
}

bool ARippingDialog::MakeDefaultAlbum() {
    ::MakeDefaultAlbum(CCdAudioReader::GetInstance().GetToc());
    return true;
}

void ARippingDialog::LoadDisc() {
    OpenSelectedDrive();
    MakeDefaultAlbum();
    ObtainCdInformation();
    m_edited = false;
}

void ARippingDialog::ObtainCdInformation() {
    const GT::CCdToc& toc = CCdAudioReader::GetInstance().GetToc();
    if (toc.GetTrackCount() > 0 && toc.HasAudioTrack()) {
        LookUpCdInformation();
        SetAlbumTitle(GetCurrentAlbum().title);
    } else {
        Reset();
    }
}

void ARippingDialog::StartLogoTimeout() {
    m_logoDeadlines.Start(kLogoDeadline, kLogoMs);
    m_logoTimed = true;
}

void ARippingDialog::OnTick() {
    if (m_logoTimed && m_logoDeadlines.IsExpired(kLogoDeadline)) ShowLogo(false);
}

void ARippingDialog::OnModelEvent(const CModelEvent& event) {
    if (event.id == CModelEvent::CARD_REMOVED_IN_MODAL) m_cardRemoved = true;
}

bool ARippingDialog::LookUpCdInformation() {
    UL::CWaitCursor wait;
    CTunemark tunemark;
    if (!tunemark.Initialize(CSdkParameters())) return false;
    std::vector<CAlbumInfo> albums;
    if (!tunemark.LookUpToc(CCdAudioReader::GetInstance().GetToc(), albums, this)) {
        ShowLogo(false);
        OnLookUpDone();
        return false;
    }
    if (albums.size() == 1) {
        GetCurrentAlbum() = albums.front();
    } else if (albums.size() > 1) {
        wait.Restore();
        const boost::shared_ptr<IMultiQueryDialog> chooser = CreateChooser();
        FillAlbumTitleList(albums);
        const int chosen = chooser->DoModal();
        if (chosen < 0 || static_cast<size_t>(chosen) >= albums.size()) {
            ShowLogo(false);
            OnLookUpDone();
            return false;
        }
        GetCurrentAlbum() = albums[static_cast<size_t>(chosen)];
    }
    OnLookUpDone();
    return true;
}

bool ARippingDialog::CheckRipLimits(const std::vector<int>& tracks, const std::string& albumTitle,
                                    const CAlbumInfo& album) const {
    std::vector<std::string> artists;
    for (int track : tracks)
        artists.push_back(static_cast<size_t>(track) < album.tracks.size()
                              ? album.tracks[static_cast<size_t>(track)].artist
                              : std::string());
    // Songs ripped onto Rhythm or User carry the tab's tag, not these names.
    return Document().CheckAlbumArtistLimitOfNewSongs(CDocumentModel::GetInstance().GetShownTab(), {albumTitle},
                                                      artists);
}

bool ARippingDialog::CheckRipSpace(const std::vector<int>& tracks, bool saveMemory) const {
    const CCdAudioReader& reader = CCdAudioReader::GetInstance();
    std::vector<int64_t> sizes;
    for (int track : tracks) {
        if (saveMemory)
            sizes.push_back(static_cast<int64_t>(
                EstimateVoxaFileSizeOfPcm(static_cast<uint64_t>(reader.GetTrackByteCount(track)))));
        else
            sizes.push_back(reader.GetOutputFileSize(track));
    }
    // The icon files and the temporary database set that the next save writes come on top.
    switch (Document().CheckSongSpace(sizes, tracks.size())) {
        case CDocX::SPACE_FITS:
            return true;
        case CDocX::SPACE_SHORT:
            ShowMessage(MSG_CARD_FULL);
            return false;
        default:
            ShowMessage(MSG_WRITE_FAILED);
            return false;
    }
}

bool ARippingDialog::IsCardStillThere(const CDocX::CCardRun& run) const {
    return !m_cardRemoved && run.IsCardThere() && Document().IsCardWritable();
}

void ARippingDialog::RipTracks(const std::vector<int>& rows) {
    CDocX& document = Document();
    if (!document.IsConnected() || m_cardRemoved) return;

    // The rip works from copies: the progress dialog lets device events in, and a reload of the disc
    // meanwhile replaces the reader's table of contents and the current album.
    CCdAudioReader& reader = CCdAudioReader::GetInstance();
    CRipPlan plan;
    plan.drive = reader.GetDrive();
    plan.toc = reader.GetToc();
    plan.album = GetCurrentAlbum();
    plan.albumTitle = GetAlbumTitle();
    plan.tab = CDocumentModel::GetInstance().GetShownTab();
    plan.saveMemory = document.GetSaveMemory();
    std::vector<int> sorted = rows;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    // Rows past the disc's tracks (the service may list more) have nothing to read.
    for (int row : sorted)
        if (row >= 0 && row < plan.toc.GetTrackCount() && !IsDataTrack(plan.toc, row)) plan.tracks.push_back(row);
    if (plan.tracks.empty()) return;

    const int count = static_cast<int>(plan.tracks.size());
    if (!document.CanAdd(count)) {
        ShowMessage(MSG_TOO_MANY_SONGS);
        return;
    }
    if (!CheckRipLimits(plan.tracks, plan.albumTitle, plan.album)) {
        ShowMessage(MSG_TOO_MANY_NAMES);
        return;
    }

    UL::CWaitCursor wait;
    reader.SetOutputFormat(SL::CWaveFileFormat::WINWAVE);
    if (!CheckRipSpace(plan.tracks, plan.saveMemory)) return;
    CDocX::CCardRun run(document);
    if (!IsCardStillThere(run) || !document.WriteToUnit()) return;
    document.ClearAddedSongs();

    GT::IProgress& progress = GetProgressBar();
    progress.SetTitle(GetTextCodeTable().GetText(MSG_NOW_RIPPING));
    progress.SetCancelable(true);
    progress.Begin();
    m_ripping = true;
    for (int p = 0; p < count; ++p) {
        progress.SetMessage(GT::FormatString("Track %02d/%02d", p + 1, count));
        progress.SetPos(0);
        if (RipOneTrack(plan, plan.tracks[static_cast<size_t>(p)], run, progress) != CAudioTransfer::DONE) break;
    }
    m_ripping = false;
    // The database names the songs that were stored, on the card they were stored on.
    if (IsCardStillThere(run)) document.WriteToUnit();
    progress.End();
}

int ARippingDialog::RipOneTrack(const CRipPlan& plan, int track, CDocX::CCardRun& run, GT::IProgress& progress) {
    CDocX& document = Document();
    CCdAudioReader& reader = CCdAudioReader::GetInstance();
    // The card's mount and the disc are looked at before anything of the track is written.
    if (!IsCardStillThere(run)) return CAudioTransfer::FAILED;
    if (!IsSameDiscInDrive(plan.drive, plan.toc)) {
        ShowMessage(MSG_RIP_FAILED);
        return CAudioTransfer::FAILED;
    }
    const int slot = document.AllocateSlot();
    if (slot < 0) {
        ShowMessage(MSG_RIP_FAILED);
        return CAudioTransfer::FAILED;
    }
    const std::string folder = document.GetSongFolder(slot);
    const std::string number = GT::FormatString("%04d", slot);
    CDomain& domain = CDomain::GetInstance();
    const std::string temporary = domain.GetWorkFolder() + "/" + kTemporaryPrefix + number + domain.GetWaveExtension();

    const int blocks = reader.GetReadBlockCount(track);
    progress.SetRange(
        plan.saveMemory ? blocks + CountProgressStepsOfValues(int64_t{reader.GetTrackByteCount(track)} / 2) : blocks);
    int answer = reader.RipTrack(track, temporary, &progress);
    // A disc changed under the read gives another disc's sound: not stored.
    if (answer == CCdAudioReader::DONE && !IsSameDiscInDrive(plan.drive, plan.toc)) answer = CCdAudioReader::FAILED;
    if (answer != CCdAudioReader::DONE || !IsCardStillThere(run)) {
        GT::RemoveFile(temporary);
        if (answer == CCdAudioReader::FAILED) ShowMessage(MSG_RIP_FAILED);
        return answer == CCdAudioReader::CANCELLED ? CAudioTransfer::CANCELLED : CAudioTransfer::FAILED;
    }

    std::string destination;
    if (plan.saveMemory) {
        destination = folder + number + domain.GetVoxaExtension();
        // The transfer shows its own message and leaves nothing behind on a failure or a cancel;
        // it writes only onto the card the run started on, and its encoding ends as soon as the
        // card's removal is noticed. A failed encoding fails the rip too, with message 25 unless
        // the card went: the modal-dialog manager tells of that when the dialog closes.
        answer = CAudioTransfer::FAILED;
        if (IsCardStillThere(run))
            answer = CAudioTransfer(document.GetVolume()).ImportFile(temporary, destination, true);
        if (answer == CAudioTransfer::FAILED && IsCardStillThere(run)) ShowMessage(MSG_RIP_FAILED);
    } else {
        destination = folder + number + domain.GetWaveExtension();
        answer = CAudioTransfer::FAILED;
        const CAudioTransfer transfer(document.GetVolume());
        if (IsCardStillThere(run) && transfer.CopyOntoCard(temporary, destination)) {
            answer = CAudioTransfer::DONE;
        } else if (IsCardStillThere(run)) {
            transfer.RemoveFromCard(destination);
            ShowMessage(MSG_RIP_FAILED);
        }
    }
    GT::RemoveFile(temporary);
    if (answer != CAudioTransfer::DONE) return answer;

    CSongX* song = document.FillNewSong(slot, destination);
    if (song == nullptr) return CAudioTransfer::FAILED;
    const CTrackInfo info = static_cast<size_t>(track) < plan.album.tracks.size()
                                ? plan.album.tracks[static_cast<size_t>(track)]
                                : CTrackInfo();
    song->SetTitle(info.title);
    song->SetAlbum(plan.albumTitle);
    song->SetArtist(info.artist);
    song->SetNumber(track);
    document.AddNewSong(song, plan.tab);
    return CAudioTransfer::DONE;
}

// --- the window ---

CRippingDialog::CRippingDialog() : UL::CResizableDialog(IDD_CD_RIPPING, platform::MainWindow(), true) {
    CDocumentModel::GetInstance().AddListener(this);
    StartTimer();
}

CRippingDialog::~CRippingDialog() {
    CDocumentModel::GetInstance().RemoveListener(this);
    StopTimer();
    // The controls go with the window, before the members that took them over.
    DestroyWindow();
}

bool CRippingDialog::ShowModal() { return DoModal() == platform::kCommandOk; }

void CRippingDialog::StartTimer() {
    GT::CTimer& timer = GT::GetTimer();
    if (timer.IsActive(this)) timer.Kill(this);
    timer.Start(this, kTickMs, 1, GT::CTimer::KIND_WINDOW);
}

void CRippingDialog::StopTimer() {
    GT::CTimer& timer = GT::GetTimer();
    if (timer.IsActive(this)) timer.Kill(this);
}

void CRippingDialog::OnTimer(GT::CTimerInfo&) { OnTick(); }

bool CRippingDialog::OnInitDialog() {
    LoadAccelTable(IDR_CD_RIPPING);
    if (!UL::CResizableDialog::OnInitDialog()) return false;
    if (platform::Window* main = platform::MainWindow()) GetWindow()->SetIcon(main->Icon());

    m_albumTitle.SubclassDlgItem(IDC_ALBUM_TITLE, *GetWindow());
    m_table.SubclassDlgItem(IDC_TRACK_TABLE, *GetWindow());
    auto renderers = boost::make_shared<UL::CMappedTableCellRendererResolver>();
    auto editors = boost::make_shared<UL::CMappedTableCellEditorResolver>();
    for (int column : {int(CTrackTableModel::TITLE), int(CTrackTableModel::ARTIST)}) {
        renderers->Add({-1, column}, boost::make_shared<UL::CStringTableCellRenderer>(0));
        editors->Add({-1, column}, boost::make_shared<UL::CStringTableCellEditor>(false));
    }
    m_table.SetRendererResolver(renderers);
    m_table.SetEditorResolver(editors);
    m_table.SetModel(boost::make_shared<CTrackTableModel>());
    m_table.SetColumnWidthSettings(kTableSection, kWidthKey, {kFitHeader, kFitHeader, kFitHeader});
    m_table.AddCellEditorEventListener(this);
    m_table.Refresh();

    UpdateDriveList();

    auto logo = boost::make_shared<UL::CPicture>();
    logo->Load(CAppPaths::GetInstance().GetPath(CAppPaths::PICTURES) + "/" + kLogoName);
    m_logo.SubclassDlgItem(IDC_VENDOR_LOGO, *GetWindow());
    m_logo.Setup(logo, std::string(), nullptr);
    m_logo.GetControl()->Show(false);

    m_reget.SubclassDlgItem(IDC_REGET, *GetWindow());
    m_reget.Setup(false, nullptr, GetTextCodeTable().GetText(MSG_OBTAIN_AGAIN), nullptr);
    m_reget.AddListener(this);
    // The modal loop shows the window (shown before, it would not be modal).
    return true;
}

void CRippingDialog::OnDestroy() {
    m_table.DestroyWindow();
    UL::CResizableDialog::OnDestroy();
}

void CRippingDialog::OnKickIdle() {
    if (!m_firstIdle) return;
    m_firstIdle = false;
    LoadDisc();
    SelectAll();
    m_table.SetFocus();
}

void CRippingDialog::Layout(int, int) {
    UL::CDialogLayout layout(GetWindow(), &GetTemplate());
    layout.Add(IDC_ALBUM_TITLE, UL::kAnchorLeft | UL::kAnchorRight | UL::kAnchorTop);
    layout.Add(IDC_TRACK_TABLE, UL::kAnchorAll);
    layout.Add(IDC_VENDOR_LOGO, UL::kAnchorRight | UL::kAnchorTop);
    layout.Add(IDC_REGET, UL::kAnchorRight | UL::kAnchorTop);
    layout.Add(platform::kCommandOk, UL::kAnchorRight | UL::kAnchorBottom);
    layout.Add(platform::kCommandCancel, UL::kAnchorRight | UL::kAnchorBottom);
}

std::string CRippingDialog::GetAlbumTitle() const {
    return m_albumTitle.HasWindow() ? m_albumTitle.GetText(UL::kEncodingUtf8) : m_albumTitle.GetText();
}

void CRippingDialog::SetAlbumTitle(const std::string& title) {
    if (m_albumTitle.HasWindow())
        m_albumTitle.SetText(title, UL::kEncodingUtf8);
    else
        m_albumTitle.AStatic::SetText(title);
}

void CRippingDialog::Reset() {
    ARippingDialog::Reset();
    SetAlbumTitle(std::string());
    if (m_table.HasWindow()) m_table.Refresh();
}

void CRippingDialog::ObtainCdInformation() {
    ARippingDialog::ObtainCdInformation();
    if (m_table.HasWindow()) m_table.Refresh();
}

void CRippingDialog::ShowLogo(bool show) {
    if (!m_logo.HasWindow()) return;
    platform::Control* control = m_logo.GetControl();
    control->Show(show);
    if (show) {
        control->Invalidate();
        StartLogoTimeout();
    }
}

bool CRippingDialog::IsLogoShown() const { return m_logo.HasWindow() && m_logo.GetControl()->IsVisible(); }

platform::Size CRippingDialog::GetLogoSize() const {
    return m_logo.GetPicture() ? m_logo.GetPicture()->GetSize() : platform::Size{0, 0};
}

void CRippingDialog::SelectAll() {
    if (!m_table.HasWindow() || !m_table.GetSelection()) return;
    const int rows = m_table.GetModel()->GetRowCount();
    if (rows > 0) m_table.GetSelection()->SetRange(0, rows, true, true);
    m_table.Refresh();
}

void CRippingDialog::OnButtonClicked(const UL::CButtonEvent& event) {
    UL::CButtonA* const* source = boost::any_cast<UL::CButtonA*>(&event.GetSource());
    if (source == nullptr || *source != &m_reget) return;
    if (IsEdited() && CModalManager::GetInstance().AskOkCancel(MSG_EDITS_DISCARDED) != AModalManager::ANSWER_OK) return;
    LoadDisc();
    m_table.Refresh();
}

void CRippingDialog::OnModelEvent(const CModelEvent& event) {
    // A rip works on its own copies; the disc is read again when the dialog closes after it anyway.
    if (IsRipping() && event.id != CModelEvent::CARD_REMOVED_IN_MODAL) return;
    switch (event.id) {
        case CModelEvent::DRIVE_REMOVED:
            if (m_selectedDrive >= 0 && static_cast<size_t>(m_selectedDrive) < m_drives.size()
                && m_drives[static_cast<size_t>(m_selectedDrive)] == event.GetText()) {
                if (m_table.GetSelection()) m_table.GetSelection()->SetAll(false);
                CCdAudioReader::GetInstance().ClearToc();
                LoadDisc();
                if (m_table.HasWindow()) m_table.Refresh();
            }
            break;
        case CModelEvent::AUDIO_CD_ARRIVED:
            if (m_selectedDrive < 0 || static_cast<size_t>(m_selectedDrive) >= m_drives.size()) {
                UpdateDriveList();
                LoadDisc();
                if (m_table.HasWindow()) m_table.Refresh();
            }
            break;
        default:
            ARippingDialog::OnModelEvent(event);
            break;
    }
}

void CRippingDialog::OnCommand(int id) {
    if (id == UL::ID_EDIT_SELECT_ALL)
        SelectAll();
    else
        UL::CResizableDialog::OnCommand(id);
}

void CRippingDialog::OnOK() {
    std::vector<int> rows;
    if (m_table.GetSelection()) rows = m_table.GetSelection()->GetSelected();
    RipTracks(rows);
    Reset();
    EndDialog(platform::kCommandOk);
}

void CRippingDialog::OnCancel() {
    Reset();
    EndDialog(platform::kCommandCancel);
}

namespace {

// The ripping dialog as the manager runs it.
class CRippingModalDialog : public IModalDialog {
public:
    bool ShowModal() override {
        CRippingDialog dialog;
        return dialog.ShowModal();
    }
};

}  // namespace

boost::shared_ptr<IModalDialog> CreateRippingDialog() { return boost::make_shared<CRippingModalDialog>(); }
