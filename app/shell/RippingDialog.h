// The "CD Ripping" dialog: picks an audio CD among the computer's drives, shows the album and its
// tracks as the metadata service knows them (or made up when it has nothing), lets the user edit the
// tracks' titles and artists, and on OK stores the selected audio tracks on the card as new songs, as
// WAV files or, while "Option/SaveMemory" is on, as Voxa files.
//
// ARippingDialog holds the logic and the state and reaches the window only through its own virtual
// operations; CRippingDialog is the window.
#pragma once

#include "app/card/CardDocument.h"
#include "app/card/ModelEvents.h"
#include "app/shell/AlbumInfo.h"
#include "app/shell/MultiQueryDialog.h"
#include "app/shell/Tunemark.h"
#include "general_tools/CdToc.h"
#include "general_tools/Drives.h"
#include "general_tools/TickDeadlineTable.h"
#include "general_tools/Timer.h"
#include "ui/ControlEvents.h"
#include "ui/Controls.h"
#include "ui/DialogA.h"
#include "ui/ListCtrlA.h"
#include "ui/TableCellEditor.h"

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace GT {
class IProgress;
}

class ARippingDialog : public IModelEventListener,
                       public UL::IButtonEventListener,
                       public UL::ICellEditorEventListener,
                       public UL::IEditEventListener,
                       public ILookUpDisplay {
public:
    // The logo shows for this long after the service answered.
    static constexpr uint32_t kLogoMs = 3000;
    static constexpr int kLogoDeadline = 0;

    ~ARippingDialog() override = default;

    void OnModelEvent(const CModelEvent& event) override;
    virtual std::string GetAlbumTitle() const = 0;
    virtual void SetAlbumTitle(const std::string& title) = 0;
    // No drive, nothing edited, the current album cleared.
    virtual void Reset();
    // The drives holding an audio CD; the selected one kept when it is still there, else the first.
    virtual void UpdateDriveList();
    // The selected drive's disc read, its default album made, then looked up.
    virtual void LoadDisc();
    // With a disc of audio tracks: the lookup, then the album title shown; else Reset.
    virtual void ObtainCdInformation();
    virtual void StartTimer() {}
    virtual void StopTimer() {}
    void ShowLogo(bool) override {}
    virtual void StartLogoTimeout();
    // Called after every lookup.
    virtual void OnLookUpDone() {}
    // Hides the logo once its time is up.
    virtual void OnTick();

    // The whole lookup for the disc in the CD reader: on success the current album holds the album
    // the service knows (the one the user chose among several); otherwise it stays as it was.
    bool LookUpCdInformation();
    // Stores the tracks of these table rows on the card (see the .cpp for the order of work).
    void RipTracks(const std::vector<int>& rows);
    // Whether the tracks' artists and the album title fit the card's names (always on Rhythm and User).
    bool CheckRipLimits(const std::vector<int>& tracks, const std::string& albumTitle, const CAlbumInfo& album) const;
    // Whether the tracks, as the rip stores them, fit on the card; shows message 27 or 30.
    bool CheckRipSpace(const std::vector<int>& tracks, bool saveMemory) const;
    // The current album becomes the default album of the reader's table of contents.
    static bool MakeDefaultAlbum();

    void OnEditingStarted(const UL::CCellEditorEvent&) override {}
    void OnEditingStopped(const UL::CCellEditorEvent&) override { m_edited = true; }
    void OnEditingCancelled(const UL::CCellEditorEvent&) override {}
    void OnEditChanged(const UL::CEditEvent&) override { m_edited = true; }
    void OnButtonClicked(const UL::CButtonEvent&) override {}

    int GetSelectedDrive() const { return m_selectedDrive; }
    const std::vector<std::string>& GetDriveList() const { return m_drives; }
    bool IsEdited() const { return m_edited; }
    bool IsCardRemoved() const { return m_cardRemoved; }
    bool IsRipping() const { return m_ripping; }

protected:
    ARippingDialog() = default;

    // The computer's volumes (the listing is replaced in tests).
    virtual GT::CDriveList ListDrives() const;
    // The chooser among several albums.
    virtual boost::shared_ptr<IMultiQueryDialog> CreateChooser() const;
    // Clears the reader's table of contents and opens the selected drive; Reset when that fails.
    void OpenSelectedDrive();

    int m_selectedDrive = -1;
    std::vector<std::string> m_drives;
    bool m_edited = false;
    bool m_cardRemoved = false;
    GT::CTickDeadlineTable m_logoDeadlines;
    bool m_logoTimed = false;
    bool m_ripping = false;

private:
    // What a rip works from, fixed when it starts.
    struct CRipPlan {
        std::string drive;
        GT::CCdToc toc;
        CAlbumInfo album;
        std::string albumTitle;
        std::vector<int> tracks;
        int tab = 0;
        bool saveMemory = true;
    };
    // One track onto the card: answers 1 stored, 2 cancelled, 0 failed (its message shown); nothing
    // of it is left behind unless it was stored.
    int RipOneTrack(const CRipPlan& plan, int track, CDocX::CCardRun& run, GT::IProgress& progress);
    // The card the rip started on is still there, mounted, and was not removed meanwhile.
    bool IsCardStillThere(const CDocX::CCardRun& run) const;
};

// The window (template 4144) over the program's main window.
class CRippingDialog : public UL::CResizableDialog, public ARippingDialog, public GT::ITimerHandler {
public:
    CRippingDialog();
    ~CRippingDialog() override;

    // True when the dialog ended with OK.
    bool ShowModal();

    std::string GetAlbumTitle() const override;
    void SetAlbumTitle(const std::string& title) override;
    void Reset() override;
    void ObtainCdInformation() override;
    void StartTimer() override;
    void StopTimer() override;
    void ShowLogo(bool show) override;
    void OnModelEvent(const CModelEvent& event) override;
    void OnButtonClicked(const UL::CButtonEvent& event) override;
    void OnTimer(GT::CTimerInfo& info) override;

    CListCtrlA& GetTable() { return m_table; }
    bool IsLogoShown() const;
    // The logo picture's size; nothing when it could not be loaded.
    platform::Size GetLogoSize() const;
    // Every row of the track table selected.
    void SelectAll();

protected:
    bool OnInitDialog() override;
    void OnDestroy() override;
    void OnKickIdle() override;
    void OnCommand(int id) override;
    void OnOK() override;
    void OnCancel() override;
    void Layout(int cx, int cy) override;
    using UL::CResizableDialog::OnTimer;

private:
    UL::CStaticA m_albumTitle;
    CListCtrlA m_table;
    UL::CStaticA m_logo;
    UL::CButtonA m_reget;
    bool m_firstIdle = true;
};

// A new ripping dialog as the modal-dialog manager runs it.
class IModalDialog;
boost::shared_ptr<IModalDialog> CreateRippingDialog();
