#include "app/shell/DialogFactories.h"

#include "app/card/ModalManager.h"
#include "app/shell/ProxyDialog.h"
#include "app/shell/RippingDialog.h"

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

}  // namespace

void RegisterDialogFactories() {
    CModalManager::GetInstance().SetProxyDialogFactory(
        [] { return boost::shared_ptr<IModalDialog>(boost::make_shared<CProxyModalDialog>(CreateProxyDialog())); });
    CModalManager::GetInstance().SetRippingDialogFactory(CreateRippingDialog);
}
