#include "app/shell/ProxyDialog.h"

#include "app/card/MessageTable.h"
#include "general_tools/Profile.h"
#include "platform/window/Application.h"
#include "resources/ResourceIds.h"

namespace {

// Texts of the message table.
enum : int { MSG_USE_PROXY = 41, MSG_SERVER_ADDRESS = 42, MSG_PORT = 43 };

}  // namespace

void AProxyDialog::Load() {
    GT::IProfile& profile = GT::GetProfile();
    m_useProxy = profile.GetInt(kUseProxyKey, 0) != 0;
    m_server = profile.GetString(kServerKey, std::string());
    m_port = profile.GetString(kPortKey, std::string());
}

void AProxyDialog::Store() {
    GT::IProfile& profile = GT::GetProfile();
    profile.WriteInt(kUseProxyKey, m_useProxy ? 1 : 0);
    profile.WriteString(kServerKey, m_server);
    profile.WriteString(kPortKey, m_port);
}

CProxyDialog::CProxyDialog() : UL::CDialogBase(IDD_PROXY_SERVER, platform::MainWindow()) {}

// The controls go with the window, before the members that took them over.
CProxyDialog::~CProxyDialog() { DestroyWindow(); }

bool CProxyDialog::DoModal() { return UL::CDialogBase::DoModal() == platform::kCommandOk; }

bool CProxyDialog::OnInitDialog() {
    if (!UL::CDialogBase::OnInitDialog()) return false;
    if (platform::Window* main = platform::MainWindow()) GetWindow()->SetIcon(main->Icon());

    const GT::CTextCodeTable& texts = GetTextCodeTable();
    m_useProxy.SubclassDlgItem(IDC_USE_PROXY, *GetWindow());
    m_useProxy.AddListener(this);
    m_useProxy.Setup(true, nullptr, texts.GetText(MSG_USE_PROXY), nullptr);
    m_serverLabel.SubclassDlgItem(IDC_PROXY_SERVER_LABEL, *GetWindow());
    m_serverLabel.SetText(texts.GetText(MSG_SERVER_ADDRESS), UL::kEncodingAnsi);
    m_portLabel.SubclassDlgItem(IDC_PROXY_PORT_LABEL, *GetWindow());
    m_portLabel.SetText(texts.GetText(MSG_PORT), UL::kEncodingAnsi);
    m_server.SubclassDlgItem(IDC_PROXY_SERVER, *GetWindow());
    m_port.SubclassDlgItem(IDC_PROXY_PORT, *GetWindow());

    Load();
    m_useProxy.SetChecked(GetUseProxy());
    m_server.SetText(GetServer(), UL::kEncodingAnsi);
    m_port.SetText(GetPort(), UL::kEncodingAnsi);
    EnableEdits();
    return true;
}

void CProxyDialog::EnableEdits() {
    const bool enabled = m_useProxy.IsChecked();
    for (UL::CEditA* edit : {&m_server, &m_port}) {
        if (edit->HasWindow()) edit->GetControl()->Enable(enabled);
    }
}

void CProxyDialog::OnButtonClicked(const UL::CButtonEvent&) { EnableEdits(); }

void CProxyDialog::OnOK() {
    SetServer(m_server.GetText(UL::kEncodingAnsi));
    SetPort(m_port.GetText(UL::kEncodingAnsi));
    SetUseProxy(m_useProxy.IsChecked());
    Store();
    EndDialog(platform::kCommandOk);
}

boost::shared_ptr<AProxyDialog> CreateProxyDialog() {
    // Made from the whole dialog's pointer, so that the whole dialog is deleted.
    return boost::shared_ptr<AProxyDialog>(new CProxyDialog);
}
