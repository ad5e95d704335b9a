// The numbered messages of the application's message list and the button labels of the
// review dialog, and their display.
//
// List 1 holds the messages (format texts with at most one %s, which takes the argument, for
// example a file name); list 2 holds button labels. Showing a message goes through the host's
// user-interface port: as a message box with OK and Cancel, or as an information box. While
// the run is unattended (started from arguments) nothing is shown and the answer is OK.
#pragma once

#include <string>

namespace kelvara {

inline constexpr int MESSAGE_LIST = 1;
inline constexpr int BUTTON_LABEL_LIST = 2;
inline constexpr size_t MAX_MESSAGE_BYTES = 2048;

// The unformatted text of message `number` of `list`; nullptr when there is none.
const char* messageFormat(int list, int number);

// Message `number` of list 1 with `argument` in place of its %s (an absent argument gives an
// empty text there); "" when there is no such message. At most MAX_MESSAGE_BYTES - 1 bytes.
std::string messageText(int number, const char* argument = nullptr);

// Label `number` of list 2; "" when there is none.
std::string buttonLabel(int number);

// Shows message `number` of `list`: ERROR (32768) when it does not exist; 3 (OK) without
// showing anything in an unattended run; otherwise as a message box with OK and Cancel (the
// button pressed) or as an information box (3).
int showListMessage(int list, int number, const char* argument, bool asMessageBox);

// Shows message `number` of list 1 (see showListMessage).
int showMessage(int number, const char* argument = nullptr, bool asMessageBox = false);

}  // namespace kelvara
