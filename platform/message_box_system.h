// Inside the message-box layer only: the system's own box, modal, without an owner window. Returns the
// button pressed (IDOK, IDYES, IDNO), or the default answer when no box can be shown.
#pragma once

unsigned SystemMessageBox(const char* text, const char* title, unsigned flags);
