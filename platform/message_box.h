// Message boxes with the Windows flag and result values. Every box is also written to standard error;
// in batch mode it is only written there and answered with its default button.
// Main thread only.
#pragma once

#include "platform/windows_names.h"  // MB_*, ID*

// Shows a modal box without an owner window; returns the button pressed (IDOK, IDYES, IDNO).
int ShowMessageBox(const char* text, const char* title, unsigned flags);

// The text of the last box shown ("" before the first): what a run that ended at a box ended with.
const char* LastMessageBoxText();

// Batch mode: boxes go to standard error only and are answered with their default button (OK, Yes).
void SetMessageBoxBatchMode(bool batch);
