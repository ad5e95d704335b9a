// The database and user data dialogs: the working copy's linkage criteria as check boxes (the
// toggle bits) and integer-list fields, each field checked with its bounds as it is edited.
// OK keeps the edits, Cancel or closing the window gives the criteria back as they were.
#pragma once

#include <functional>

#include "selection/model.h"

namespace kelvara {

inline constexpr int DATABASE_DIALOG_ID = 200510;
inline constexpr int USER_DATA_DIALOG_ID = 200511;
// Items: toggle bit n is LINK_BIT + n, text n is LINK_TEXT + n.
inline constexpr int LINK_BIT = 100;
inline constexpr int LINK_TEXT = 200;
inline constexpr int LINK_OK = 1;
inline constexpr int LINK_CANCEL = 2;

void defineLinkageDialogs();

// Opens the dialog over the working copy's criteria; `closed` runs after either dialog closes.
bool openDatabaseDialog(SelectionSet* working, std::function<void()> closed);
bool openUserDataDialog(SelectionSet* working, std::function<void()> closed);

}  // namespace kelvara
