#include "app/shell/DialogFactories.h"

#include "app/card/ModalManager.h"
#include "app/shell/ProxyDialog.h"

#include <boost/make_shared.hpp>

namespace {

// The proxy dialog as the manager runs it.
class CProxyModalDialog : public IModalDialog {
public:
    explicit CProxyModalDialog(boost::shared_ptr<AProxyDialog> dialog) : m_dialog(std::move(dialog)) {}
    bool ShowModal() override { return m_dialog->DoModal(); }

private:
    boost::shared_ptr<AProxyDialog> m_dialog;
};

CModalDialogFactory& RippingFactory() {
    static CModalDialogFactory factory;
    return factory;
}

}  // namespace

void SetRippingDialogFactory(const CModalDialogFactory& factory) { RippingFactory() = factory; }

void RegisterDialogFactories() {
    if (RippingFactory()) CModalManager::GetInstance().SetRippingDialogFactory(RippingFactory());
    CModalManager::GetInstance().SetProxyDialogFactory(
        [] { return boost::shared_ptr<IModalDialog>(boost::make_shared<CProxyModalDialog>(CreateProxyDialog())); });
}
