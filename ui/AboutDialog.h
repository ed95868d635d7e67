#pragma once
// The About box: caption and texts from the program's version block.
#include "ui/DialogBase.h"

#include <string>

namespace UL {

// "Version " and the file version; with the detail key (Ctrl) held, " (abcd)" of the four numbers
// of the product version ("1,0,1,1" gives " (1011)"; missing numbers count as 0).
std::string MakeVersionText(const std::string& fileVersion, const std::string& productVersion, bool withDetail);

class CAboutDialog : public CDialogBase {
public:
    // iconId -1 shows the desktop's generic application icon.
    CAboutDialog(int templateId, int iconId, int iconControl, int descriptionControl, int versionControl,
                 int legalControl);

protected:
    bool OnInitDialog() override;
    // The version block's text; a test may stand in another block.
    virtual std::string ReadVersion(const std::string& name) const;
    // Whether the key that asks for the version detail is held now.
    virtual bool IsDetailKeyHeld() const;

private:
    int m_iconId;
    int m_iconControl;
    int m_descriptionControl;
    int m_versionControl;
    int m_legalControl;
};

// The same dialog as the application makes it: icon id first, template id second.
class CAboutDialogA : public CAboutDialog {
public:
    CAboutDialogA(int iconId, int templateId, int iconControl, int descriptionControl, int versionControl,
                  int legalControl)
        : CAboutDialog(templateId, iconId, iconControl, descriptionControl, versionControl, legalControl) {}
};

}  // namespace UL
