// Small modal dialogs in their own SDL window: a template of controls in dialog units, a dialog procedure
// that receives WM_INITDIALOG and WM_COMMAND as on Windows, and the keyboard and mouse rules of a Windows
// dialog. Dialog owns the behaviour and needs no display; RunModalDialog adds the window, SDL_ttf drawing
// and the event loop. Main thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/message_box.h"    // IDOK, IDCANCEL
#include "platform/windows_names.h"  // WM_INITDIALOG, WM_COMMAND, BN_CLICKED

// WM_COMMAND's wParam: control id in the low word, notification code in the high word.
constexpr uintptr_t MakeCommandParam(int id, unsigned code)
{
    return (static_cast<uintptr_t>(code & 0xFFFF) << 16) | (static_cast<uintptr_t>(id) & 0xFFFF);
}
constexpr int CommandId(uintptr_t wParam)
{
    return static_cast<int>(wParam & 0xFFFF);
}
constexpr unsigned CommandCode(uintptr_t wParam)
{
    return static_cast<unsigned>((wParam >> 16) & 0xFFFF);
}

enum class DialogControlKind {
    GroupBox,  // frame with a caption; never takes focus or clicks
    PushButton,
    DefaultPushButton,  // pressed by Enter unless another push button has the focus
    PushLikeCheckBox,   // automatic check box drawn as a button that stays pressed while checked
};

struct DialogControlTemplate {
    int id;  // -1 for controls that are never addressed
    const char* text;
    DialogControlKind kind;
    bool tabStop;
    int x, y, width, height;  // dialog units
};

struct DialogTemplate {
    const char* title;
    int width, height;  // client area, dialog units
    const DialogControlTemplate* controls;
    int controlCount;
};

// Dialog units to pixels for a dialog font with a base unit of 6 x 13 pixels (1 unit = 1.5 x 1.625 px),
// rounded as Windows rounds them.
constexpr int kDialogBaseUnitX = 6;
constexpr int kDialogBaseUnitY = 13;
constexpr int DialogUnitsToPixelsX(int units)
{
    return (units * kDialogBaseUnitX * 2 + 4) / 8;
}
constexpr int DialogUnitsToPixelsY(int units)
{
    return (units * kDialogBaseUnitY * 2 + 8) / 16;
}
// The same at a display scale (display_scale.h): the base unit grows with the font. Scale 1 gives the
// values above exactly.
int DialogUnitsToPixelsX(int units, double scale);
int DialogUnitsToPixelsY(int units, double scale);

class Dialog;

// Returns nonzero for the messages it handles. lParam of WM_INITDIALOG is the parameter given to the
// dialog; WM_COMMAND carries MakeCommandParam(id, BN_CLICKED).
using DialogProc = intptr_t (*)(Dialog* dialog, unsigned message, uintptr_t wParam, intptr_t lParam);

enum class DialogKey { Tab, Space, Enter, Escape, Other };

struct DialogRect {
    int x, y, width, height;  // pixels
    bool Contains(int px, int py) const { return px >= x && py >= y && px < x + width && py < y + height; }
};

struct DialogControl {
    int id;
    std::string text;
    DialogControlKind kind;
    bool tabStop;
    DialogRect rect;
    bool checked = false;
};

// The behaviour of one dialog: controls, focus, pressing and the messages sent to the procedure.
// Events come in client pixels; nothing here touches a window.
class Dialog {
public:
    Dialog(const DialogTemplate& dialogTemplate, DialogProc proc, intptr_t param);

    // Places the controls for a display scale (1 when never called). Before Start.
    void LayOut(double scale);
    double Scale() const { return scale_; }

    // Sends WM_INITDIALOG, then gives the focus to the first tab stop unless the procedure placed it.
    void Start();

    void KeyDown(DialogKey key, bool shift, bool repeat);
    void KeyUp(DialogKey key);
    void MouseDown(int x, int y);  // left button
    void MouseMove(int x, int y);
    void MouseUp(int x, int y);
    void Close();      // the caption's close box or Alt+F4: reported as IDCANCEL
    void FocusLost();  // the window lost the keyboard: a press under way is cancelled

    // For the procedure (and tests).
    void End(intptr_t result);
    bool SetChecked(int id, bool checked);  // false when no such check box
    bool IsChecked(int id) const;
    bool SetFocusTo(int id);  // false when the control cannot take the focus

    const char* Title() const { return title_.c_str(); }
    int ClientWidth() const { return clientWidth_; }
    int ClientHeight() const { return clientHeight_; }
    const std::vector<DialogControl>& Controls() const { return controls_; }
    int FocusIndex() const { return focus_; }  // -1 while nothing has the focus
    int FocusedId() const { return focus_ < 0 ? 0 : controls_[focus_].id; }
    int DrawnDefaultIndex() const;       // the button that Enter would press, -1 if none
    bool IsHeldDown(int index) const;    // under a held mouse button or Space right now
    bool LooksPressed(int index) const;  // held down or a checked push-like box
    bool Ended() const { return ended_; }
    intptr_t Result() const { return result_; }

private:
    int IndexOf(int id) const;
    int HitTest(int x, int y) const;
    int NextTabStop(int from, bool backwards) const;
    bool TakesFocus(int index) const;
    void Click(int index);
    void Command(int id);

    std::string title_;
    int unitWidth_ = 0, unitHeight_ = 0;  // the template's, in dialog units
    std::vector<DialogRect> unitRects_;   // each control's, in dialog units
    double scale_ = 1.0;
    int clientWidth_ = 0, clientHeight_ = 0;
    std::vector<DialogControl> controls_;
    DialogProc proc_;
    intptr_t param_;
    int templateDefault_ = -1;
    int focus_ = -1;
    int mouseCapture_ = -1;     // control under a held left button
    bool mouseInside_ = false;  // the pointer is over the captured control
    int keyPressing_ = -1;      // control held down with Space
    bool ended_ = false;
    intptr_t result_ = 0;
};

// Shows the dialog modally in its own window ("title" as the window title) and returns the value given
// to End. Returns -1 after writing the reason to standard error when no window can be opened.
intptr_t RunModalDialog(const DialogTemplate& dialogTemplate, DialogProc proc, intptr_t param);

// The same for a browser page, which cannot wait: the dialog shows in the canvas and runs in the page's
// passes, and `then` receives the result once it ends (the canvas is then fresh for the show). Elsewhere
// it runs modally. A `then` that returns ends the process with status 0.
[[noreturn]] void ShowModalDialog(const DialogTemplate& dialogTemplate, DialogProc proc, intptr_t param,
                                  void (*then)(intptr_t result));

// Windows-style helpers for dialog procedures.
inline void EndDialog(Dialog* dialog, intptr_t result)
{
    dialog->End(result);
}
inline void CheckDialogButton(Dialog* dialog, int id, bool checked)
{
    dialog->SetChecked(id, checked);
}
inline bool IsDialogButtonChecked(const Dialog* dialog, int id)
{
    return dialog->IsChecked(id);
}
