// The proxy dialog: whether the metadata service is reached through a proxy server, and which. It
// only edits three settings, which the metadata-service client reads when a lookup starts:
// "Tmnet/ProxyUse" (0 or 1), "Tmnet/ProxyServer" and "Tmnet/ProxyPort" (any text, kept as typed).
#pragma once

#include "ui/ControlEvents.h"
#include "ui/Controls.h"
#include "ui/DialogBase.h"

#include <boost/shared_ptr.hpp>

#include <string>

// The dialog's logic, without a window.
class AProxyDialog {
public:
    // From the settings: use proxy when "Tmnet/ProxyUse" is not 0; server and port as stored.
    virtual void Load();
    // To the settings: the flag as 0 or 1, server and port as they are.
    virtual void Store();
    // True when the dialog ended with OK.
    virtual bool DoModal() = 0;

    bool GetUseProxy() const { return m_useProxy; }
    void SetUseProxy(bool useProxy) { m_useProxy = useProxy; }
    // In the ANSI code page.
    const std::string& GetServer() const { return m_server; }
    void SetServer(const std::string& server) { m_server = server; }
    const std::string& GetPort() const { return m_port; }
    void SetPort(const std::string& port) { m_port = port; }

    static constexpr const char* kUseProxyKey = "Tmnet/ProxyUse";
    static constexpr const char* kServerKey = "Tmnet/ProxyServer";
    static constexpr const char* kPortKey = "Tmnet/ProxyPort";

protected:
    AProxyDialog() = default;
    // Owned through the window class (CreateProxyDialog's pointer deletes the whole dialog).
    ~AProxyDialog() = default;

private:
    bool m_useProxy = false;
    std::string m_server;
    std::string m_port;
};

// The window (template 4146, "Proxy Server") over the program's main window: the check box, and the
// server and port edits, which are enabled exactly while the box is checked.
class CProxyDialog : public UL::CDialogBase, public AProxyDialog, public UL::IButtonEventListener {
public:
    CProxyDialog();
    ~CProxyDialog() override;

    bool DoModal() override;

protected:
    bool OnInitDialog() override;
    // The edits' texts and the box's state become the fields, which are stored; the dialog ends with
    // OK. (Cancel stores nothing.)
    void OnOK() override;
    void OnButtonClicked(const UL::CButtonEvent& event) override;

private:
    void EnableEdits();

    UL::CButtonA m_useProxy;
    UL::CEditA m_server;
    UL::CEditA m_port;
    UL::CStaticA m_serverLabel;
    UL::CStaticA m_portLabel;
};

// A new proxy dialog; the pointer owns the whole dialog.
boost::shared_ptr<AProxyDialog> CreateProxyDialog();
