// The page's calls on a desktop, where the program is no page (see page.h): the passes are a plain loop,
// the reports go nowhere, files are on disk and the end is the process's.
#include "platform/page.h"

#include <cstdlib>

void RunPagePasses(void (*pass)())
{
    for (;;) pass();
}

void ReportPageStage(const char*) {}
void ReportPageFrame(long, const float*, int) {}
void ReportPageSound(int64_t, int64_t) {}
void ReportPageDialogControl(const char*, int, int) {}
void ReportPageWindowTitle(const char*) {}

void EndPage(int status)
{
    std::exit(status);
}

void ReplacePageCanvas() {}
void PreparePageCanvas(int, int, bool) {}

bool PageFileFetched(const char*)
{
    return true;
}

std::string PageRecordingRequest()
{
    return {};
}
