// The dialogs that the modal-dialog manager opens but this layer defines, registered with the manager
// at start-up.
#pragma once

#include "app/card/ModalManager.h"

// The proxy dialog (CreateProxyDialog) as the manager's proxy dialog. The About box needs no factory:
// the manager shows the library's About box with the program's resources.
void RegisterDialogFactories();

// The ripping dialog is defined elsewhere in this layer: its factory, once set here, is registered
// with the manager by RegisterDialogFactories (an empty factory leaves the manager without one).
void SetRippingDialogFactory(const CModalDialogFactory& factory);
