// What every dialog of the program does as it starts: take the user's language and sit where
// the program's dialogs sit. Main thread only.
#pragma once
#include <windows.h>

#include <initializer_list>

struct DialogText {
    int id;           // a control of the dialog
    const char* key;  // its text in the text table
};

// The templates carry English; any other language replaces the title (when `titleKey` is
// not null) and the listed controls' texts with the table's.
void LocalizeDialog(HWND dialog, const char* titleKey, std::initializer_list<DialogText> items);
// Centred horizontally over `owner`, its top 68 pixels below the owner's top; size unchanged.
void PlaceDialogBelowOwnerTop(HWND dialog, HWND owner);
