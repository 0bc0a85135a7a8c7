#include "settings/dialog_setup.h"

#include "settings/app_settings.h"
#include "settings/text_tables.h"

namespace {
constexpr int kDialogTopBelowOwner = 68;
}

void LocalizeDialog(HWND dialog, const char* titleKey, std::initializer_list<DialogText> items) {
    if (g_settings.language == kLanguageEnglish) return;
    if (titleKey != nullptr) SetWindowTextW(dialog, GetWideText(titleKey));
    for (const DialogText& item : items) SetDlgItemTextW(dialog, item.id, GetWideText(item.key));
}

void PlaceDialogBelowOwnerTop(HWND dialog, HWND owner) {
    RECT own = {}, self = {};
    if (owner == nullptr || !GetWindowRect(owner, &own) || !GetWindowRect(dialog, &self)) return;
    const int width = self.right - self.left;
    const int x = own.left + ((own.right - own.left) - width) / 2;
    SetWindowPos(dialog, nullptr, x, own.top + kDialogTopBelowOwner, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
