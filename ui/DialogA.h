#pragma once
// Dialogs that keep their placement in the application profile, and resizable dialogs that lay their
// controls out by anchors, keep a minimum size and may show a size grip.
#include "ui/DialogBase.h"
#include "ui/DialogLayout.h"

#include <memory>
#include <string>

namespace platform {
class SizeGrip;
}

namespace UL {

class CDialogA : public CDialogBase {
public:
    CDialogA(int templateId, platform::Window* parent) : CDialogBase(templateId, parent) {}

protected:
    bool OnInitDialog() override;
    void OnDestroy() override { SavePlacement(); }
    // The profile section and entry of the placement; nothing is kept while either is empty (the
    // default).
    virtual void GetPlacementKey(std::string& section, std::string& entry) const;
    // The stored placement, fitted to the screen; a text with fewer than four numbers keeps the
    // window's own values for the missing ones.
    virtual void RestorePlacement();
    // The window's placement as "left,top,right,bottom" (PlacementRect).
    virtual void SavePlacement();

    // The stored rectangle (over the current one), or none when nothing usable is stored.
    bool ReadStoredPlacement(CRect& placement) const;
};

class CResizableDialog : public CDialogA {
public:
    CResizableDialog(int templateId, platform::Window* parent, bool withSizeGrip);
    ~CResizableDialog() override;

    platform::Size GetMinimumSize() const { return m_minimumSize; }
    const CDialogTemplate& GetTemplate() const { return m_template; }
    platform::SizeGrip* GetSizeGrip() const { return m_grip; }

    // The control id of the size grip.
    static constexpr int kSizeGripId = 3;

protected:
    bool OnInitDialog() override;
    void OnSize(int cx, int cy) override;
    void OnDestroy() override;
    void RestorePlacement() override;
    // Lays the controls out for the client size; a dialog adds its controls to a CDialogLayout over
    // itself and GetTemplate(). The default does nothing.
    virtual void Layout(int, int) {}

private:
    bool m_withSizeGrip;
    platform::Size m_minimumSize;
    CDialogTemplate m_template;
    platform::SizeGrip* m_grip = nullptr;
};

}  // namespace UL
