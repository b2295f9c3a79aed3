// The message-box hub's handler on Qt: a QMessageBox with the caller's
// caption (the application title when it is empty), the icon and the button
// set of the flags, the MB_DEFBUTTONn-th button as default, answering the
// hub's IDOK, IDYES... codes.
#pragma once

#include "platform/message_box.h"

// Owner, when given, is the QWidget the box belongs to.
int QtMessageBox(void* Owner, const std::string& Text, const std::string& Caption, uint32_t Flags);

// Installs QtMessageBox into the hub and returns the handler it replaces.
TMessageBoxHandler InstallQtMessageBox();
