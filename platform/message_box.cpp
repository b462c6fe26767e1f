// Message boxes (see message_box.h); the system shows them (message_box_system.h). Every box is copied to
// standard error first, so that automation and tests can read it; in batch mode that is all, and the default
// button answers.
#include "platform/message_box.h"

#include <cstdio>
#include <string>

#include "platform/message_box_system.h"

namespace {
bool batchMode = false;
std::string lastText;
}  // namespace

const char* LastMessageBoxText()
{
    return lastText.c_str();
}

void SetMessageBoxBatchMode(bool batch)
{
    batchMode = batch;
}

int ShowMessageBox(const char* text, const char* title, unsigned flags)
{
    const bool yesNo = (flags & 0xF) == MB_YESNO;
    std::fprintf(stderr, "[%s] %s\n", title ? title : "", text ? text : "");
    std::fflush(stderr);
    lastText = std::string("[") + (title ? title : "") + "] " + (text ? text : "");
    if (batchMode) return yesNo ? IDYES : IDOK;
    return SystemMessageBox(text ? text : "", title ? title : "", flags);
}
