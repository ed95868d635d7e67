// The main window's content: a form with nine picture buttons and the song table of the shown tab
// (Song, Rhythm or User). It finds and connects the card, starts every operation on it and keeps its
// buttons in step with the document through model events.
#pragma once

#include "app/card/ModelEvents.h"
#include "app/shell/SongTableModel.h"
#include "ui/ControlEvents.h"
#include "ui/Controls.h"
#include "ui/FrameWnd.h"
#include "ui/ListCtrlA.h"
#include "ui/TableCellEditor.h"

#include <boost/shared_ptr.hpp>

#include <array>
#include <string>
#include <vector>

class CDocX;
class CSongX;

class CViewA : public UL::CFormViewEx,
               public IModelEventListener,
               public UL::IButtonEventListener,
               public UL::ICellEditorEventListener {
public:
    // The buttons in their order.
    enum EButton : int {
        BUTTON_CD_RIPPING = 0,
        BUTTON_IMPORT = 1,
        BUTTON_EXPORT = 2,
        BUTTON_DELETE = 3,
        BUTTON_SONG = 4,
        BUTTON_RHYTHM = 5,
        BUTTON_USER = 6,
        BUTTON_SAVE = 7,
        BUTTON_CONNECT = 8,
        BUTTON_COUNT = 9
    };
    // Menu and keyboard commands the view handles.
    enum : int { ID_SAVE_MEMORY = 32893, ID_PROXY = 32898, ID_SELECT_ALL = 57642 };

    CViewA();
    ~CViewA() override;

    void OnInitialUpdate() override;
    void OnModelEvent(const CModelEvent& event) override;
    void OnButtonClicked(const UL::CButtonEvent& event) override;
    void OnEditingStarted(const UL::CCellEditorEvent& event) override;
    void OnEditingStopped(const UL::CCellEditorEvent& event) override;
    void OnEditingCancelled(const UL::CCellEditorEvent& event) override;

    // With true: finds the card and connects it, then model event 2. With false: asks about unsaved
    // changes, ejects the card and sends model event 4.
    void Connect(bool connect);
    void SelectList(int tab);
    void Refresh();
    void UpdateButtons();
    std::vector<CSongX*> GetSelectedSongs() const;
    void SelectAddedSongs(const std::vector<CSongX*>& added);

    // The command handlers.
    void OnSaveMemory();
    void OnProxy();
    void OnSelectAll();

    bool IsConnectedFlag() const { return m_connected; }
    UL::CButtonA& GetButton(int index) { return m_buttons[static_cast<size_t>(index)]; }
    CListCtrlA& GetTable() { return m_table; }
    // The control id of a button.
    static int GetButtonId(int index);
    // The picture file of a button, in the Script folder.
    static const char* GetButtonPicture(int index);

protected:
    // The buttons' states are the view's own (UpdateButtons), never the idle update's.
    bool UsesFrameCommands() override { return false; }
    void Layout(int cx, int cy) override;
    void OnDestroy() override;

private:
    void DoDataExchange();
    void SetUpButton(UL::CButtonA& button, const std::string& picturePath, bool toggle);
    void BuildSongTable();
    void SetUpTable();
    void SetSortColumnForTab(int tab);
    static CDocX& Document();
    static const char* TableSection(int tab);

    std::array<UL::CButtonA, BUTTON_COUNT> m_buttons;
    CListCtrlA m_table;
    boost::shared_ptr<CSongTableCellResolver> m_resolver;
    boost::shared_ptr<CSongTableModel> m_model;
    bool m_connected = false;
    bool m_bound = false;
};
