// Texts of the features reached from the camera view's right-button menu. They live apart from
// the program's own table, which keeps its fixed set of keys, and are written one row per key
// with every language side by side, so none can lack a translation.
#pragma once
#include "settings/text_tables.h"

// Adds or replaces the texts in `language` (unknown numbers give English).
void FillMoreTexts(TextTable& table, int language);
