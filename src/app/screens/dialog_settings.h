// The look every box of the application shares: the dialogs and the help box.
#pragma once

namespace corvix {

class TMenuBox;

// Gives Box the settings every box of the application uses.
void ApplyDialogSettings(TMenuBox& box);

}  // namespace corvix
