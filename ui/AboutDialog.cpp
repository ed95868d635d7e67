#include "ui/AboutDialog.h"

#include "general_tools/VersionStrings.h"

#include "platform/window/Input.h"
#include "ui/ResourcePictures.h"

#include <cstdio>

namespace UL {

std::string MakeVersionText(const std::string& fileVersion, const std::string& productVersion, bool withDetail) {
    std::string text = "Version " + fileVersion;
    if (withDetail) {
        int parts[4] = {0, 0, 0, 0};
        std::sscanf(productVersion.c_str(), "%d,%d,%d,%d", &parts[0], &parts[1], &parts[2], &parts[3]);
        char detail[64];
        std::snprintf(detail, sizeof detail, " (%d%d%d%d)", parts[0], parts[1], parts[2], parts[3]);
        text += detail;
    }
    return text;
}

CAboutDialog::CAboutDialog(int templateId, int iconId, int iconControl, int descriptionControl, int versionControl,
                           int legalControl)
    : CDialogBase(templateId, nullptr),
      m_iconId(iconId),
      m_iconControl(iconControl),
      m_descriptionControl(descriptionControl),
      m_versionControl(versionControl),
      m_legalControl(legalControl) {}

std::string CAboutDialog::ReadVersion(const std::string& name) const { return GT::ReadModuleVersionString(name); }

bool CAboutDialog::IsDetailKeyHeld() const { return (platform::CurrentModifiers() & platform::kModCtrl) != 0; }

bool CAboutDialog::OnInitDialog() {
    const std::string description = ReadVersion("FileDescription");
    GetWindow()->SetTitle("About " + description);
    const platform::Image icon = LoadIconResource(m_iconId);
    if (!icon.IsEmpty()) {
        if (auto* view = dynamic_cast<platform::PictureView*>(GetDlgItem(m_iconControl))) view->SetImage(icon);
    }
    SetDlgItemText(m_descriptionControl, description);
    SetDlgItemText(m_versionControl,
                   MakeVersionText(ReadVersion("FileVersion"), ReadVersion("ProductVersion"), IsDetailKeyHeld()));
    SetDlgItemText(m_legalControl, ReadVersion("LegalCopyright"));
    return true;
}

}  // namespace UL
