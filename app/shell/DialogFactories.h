// The dialogs that the modal-dialog manager opens but this layer defines, registered with the manager
// at start-up.
#pragma once

// The proxy dialog (CreateProxyDialog) as the manager's proxy dialog, the ripping dialog
// (CreateRippingDialog) as its ripping dialog. The About box needs no factory:
// the manager shows the library's About box with the program's resources.
void RegisterDialogFactories();
