// Message boxes with the Windows flag and result values. Every box is also written to standard error;
// in batch mode it is only written there and answered with its default button.
// Main thread only.
#pragma once

constexpr unsigned MB_OK = 0x0;
constexpr unsigned MB_YESNO = 0x4;
constexpr unsigned MB_ICONSTOP = 0x10;
constexpr unsigned MB_ICONEXCLAMATION = 0x30;
constexpr unsigned MB_ICONINFORMATION = 0x40;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// Shows a modal box without an owner window; returns the button pressed (IDOK, IDYES, IDNO).
int ShowMessageBox(const char* text, const char* title, unsigned flags);

// Batch mode: boxes go to standard error only and are answered with their default button (OK, Yes).
void SetMessageBoxBatchMode(bool batch);
