// The user's language: Qt Linguist's files for it, found beside the program, for the widgets'
// tr() and for the texts of the Qt-free code (platform/rtl/Words.h).
#pragma once

namespace morvid {

// Loads the translations of the locale's languages (LANGUAGE, then LC_ALL, LC_MESSAGES, LANG)
// and hands them to the Qt-free code. Needs no application object, so a program's --help and
// morvid-cron can use it; a language without a file, or a file that cannot be read, leaves
// English. Only the first call loads.
void LoadTranslations();

// LoadTranslations, then the loaded files (ours and Qt's own, for the standard buttons) are
// given to the application object, which must exist; again only for a new one.
void InstallTranslations();

} // namespace morvid
