// Modal dialogs (see dialog.h): the behaviour of a Windows dialog in Dialog, then one SDL window drawn with
// SDL's software renderer and SDL_ttf (DejaVu Sans from fonts-dejavu-core) that feeds it events until the
// procedure ends the dialog.
#include "platform/dialog.h"

#include <SDL.h>
#include <SDL_ttf.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/display_scale.h"
#include "platform/page.h"
#include "platform/process.h"
#include "platform/sdl/game_controller.h"
#include "platform/system.h"
#include "platform/windows_names.h"

// ---------------------------------------------------------------------------------------------------------
// Behaviour
// ---------------------------------------------------------------------------------------------------------

int DialogUnitsToPixelsX(int units, double scale)
{
    return static_cast<int>(std::floor(units * (kDialogBaseUnitX / 4.0) * scale + 0.5));
}

int DialogUnitsToPixelsY(int units, double scale)
{
    return static_cast<int>(std::floor(units * (kDialogBaseUnitY / 8.0) * scale + 0.5));
}

Dialog::Dialog(const DialogTemplate& dialogTemplate, DialogProc proc, intptr_t param)
    : title_(dialogTemplate.title ? dialogTemplate.title : ""),
      unitWidth_(dialogTemplate.width),
      unitHeight_(dialogTemplate.height),
      proc_(proc),
      param_(param)
{
    for (int i = 0; i < dialogTemplate.controlCount; ++i) {
        const DialogControlTemplate& c = dialogTemplate.controls[i];
        controls_.push_back(DialogControl{c.id, c.text ? c.text : "", c.kind, c.tabStop, DialogRect{}});
        unitRects_.push_back(DialogRect{c.x, c.y, c.width, c.height});
        if (c.kind == DialogControlKind::DefaultPushButton && templateDefault_ < 0) templateDefault_ = i;
    }
    LayOut(1.0);
}

void Dialog::LayOut(double scale)
{
    scale_ = scale > 0.0 ? scale : 1.0;
    clientWidth_ = DialogUnitsToPixelsX(unitWidth_, scale_);
    clientHeight_ = DialogUnitsToPixelsY(unitHeight_, scale_);
    for (size_t i = 0; i < controls_.size(); ++i) {
        const DialogRect& u = unitRects_[i];
        controls_[i].rect =
            DialogRect{DialogUnitsToPixelsX(u.x, scale_), DialogUnitsToPixelsY(u.y, scale_),
                       DialogUnitsToPixelsX(u.width, scale_), DialogUnitsToPixelsY(u.height, scale_)};
    }
}

void Dialog::Start()
{
    const int first = NextTabStop(-1, false);
    const uintptr_t firstId = first < 0 ? 0 : static_cast<uintptr_t>(controls_[first].id);
    const intptr_t wantsDefaultFocus = proc_ ? proc_(this, WM_INITDIALOG, firstId, param_) : 1;
    // A procedure that returns FALSE may have placed the focus itself; with none placed, the dialog
    // gives it to the first tab stop when it is activated, as Windows does.
    if (!ended_ && (wantsDefaultFocus || focus_ < 0)) focus_ = first;
}

int Dialog::IndexOf(int id) const
{
    for (size_t i = 0; i < controls_.size(); ++i)
        if (controls_[i].id == id) return static_cast<int>(i);
    return -1;
}

bool Dialog::TakesFocus(int index) const
{
    return index >= 0 && index < static_cast<int>(controls_.size()) &&
           controls_[index].kind != DialogControlKind::GroupBox;
}

// Group boxes are transparent to the mouse; the first control in template order wins where others overlap.
int Dialog::HitTest(int x, int y) const
{
    for (size_t i = 0; i < controls_.size(); ++i)
        if (TakesFocus(static_cast<int>(i)) && controls_[i].rect.Contains(x, y)) return static_cast<int>(i);
    return -1;
}

int Dialog::NextTabStop(int from, bool backwards) const
{
    const int n = static_cast<int>(controls_.size());
    if (n == 0) return -1;
    int index = from;
    if (index < 0) index = backwards ? 0 : n - 1;  // so that the first step lands on the first or last
    for (int step = 0; step < n; ++step) {
        index = backwards ? (index + n - 1) % n : (index + 1) % n;
        if (controls_[index].tabStop && TakesFocus(index)) return index;
    }
    return -1;
}

int Dialog::DrawnDefaultIndex() const
{
    // A focused push button takes over the default look and Enter; elsewhere the template's default holds.
    if (focus_ >= 0 && (controls_[focus_].kind == DialogControlKind::PushButton ||
                        controls_[focus_].kind == DialogControlKind::DefaultPushButton))
        return focus_;
    return templateDefault_;
}

bool Dialog::IsHeldDown(int index) const
{
    return index >= 0 && ((mouseCapture_ == index && mouseInside_) || keyPressing_ == index);
}

bool Dialog::LooksPressed(int index) const
{
    if (index < 0 || index >= static_cast<int>(controls_.size())) return false;
    if (IsHeldDown(index)) return true;
    return controls_[index].kind == DialogControlKind::PushLikeCheckBox && controls_[index].checked;
}

void Dialog::Command(int id)
{
    if (ended_ || !proc_) return;
    proc_(this, WM_COMMAND, MakeCommandParam(id, BN_CLICKED), 0);
}

void Dialog::Click(int index)
{
    DialogControl& control = controls_[index];
    if (control.kind == DialogControlKind::PushLikeCheckBox) control.checked = !control.checked;
    Command(control.id);
}

void Dialog::KeyDown(DialogKey key, bool shift, bool repeat)
{
    if (ended_) return;
    switch (key) {
        case DialogKey::Tab:
            if (mouseCapture_ >= 0) return;
            keyPressing_ = -1;  // losing the focus lets a half-pressed button go without a click
            focus_ = NextTabStop(focus_, shift);
            return;
        case DialogKey::Space:
            if (repeat || mouseCapture_ >= 0 || !TakesFocus(focus_)) return;
            keyPressing_ = focus_;  // the click comes with the release, as with a mouse
            return;
        case DialogKey::Enter: {
            if (repeat) return;
            const int target = DrawnDefaultIndex();
            keyPressing_ = -1;
            if (target >= 0)
                Click(target);
            else
                Command(IDOK);  // Windows reports Enter as IDOK even without such a button
            return;
        }
        case DialogKey::Escape:
            if (repeat) return;
            keyPressing_ = -1;
            Command(IDCANCEL);
            return;
        case DialogKey::Other:
            return;
    }
}

void Dialog::KeyUp(DialogKey key)
{
    if (ended_ || key != DialogKey::Space || keyPressing_ < 0) return;
    const int index = keyPressing_;
    keyPressing_ = -1;
    if (index == focus_) Click(index);
}

void Dialog::MouseDown(int x, int y)
{
    if (ended_) return;
    const int index = HitTest(x, y);
    if (index < 0) return;
    keyPressing_ = -1;
    focus_ = index;  // buttons and push-like boxes take the focus when clicked
    mouseCapture_ = index;
    mouseInside_ = true;
}

void Dialog::MouseMove(int x, int y)
{
    if (mouseCapture_ >= 0) mouseInside_ = controls_[mouseCapture_].rect.Contains(x, y);
}

void Dialog::MouseUp(int x, int y)
{
    if (ended_ || mouseCapture_ < 0) return;
    const int index = mouseCapture_;
    mouseCapture_ = -1;
    mouseInside_ = false;
    // Only a release over the control that was pressed counts: dragging off is how a user backs out.
    if (controls_[index].rect.Contains(x, y)) Click(index);
}

void Dialog::Close()
{
    if (ended_) return;
    mouseCapture_ = -1;
    keyPressing_ = -1;
    Command(IDCANCEL);
}

void Dialog::FocusLost()
{
    mouseCapture_ = -1;
    mouseInside_ = false;
    keyPressing_ = -1;
}

void Dialog::End(intptr_t result)
{
    ended_ = true;
    result_ = result;
    mouseCapture_ = -1;
    keyPressing_ = -1;
}

bool Dialog::SetChecked(int id, bool checked)
{
    const int index = IndexOf(id);
    if (index < 0 || controls_[index].kind != DialogControlKind::PushLikeCheckBox) return false;
    controls_[index].checked = checked;
    return true;
}

bool Dialog::IsChecked(int id) const
{
    const int index = IndexOf(id);
    return index >= 0 && controls_[index].checked;
}

bool Dialog::SetFocusTo(int id)
{
    const int index = IndexOf(id);
    if (!TakesFocus(index)) return false;
    if (keyPressing_ != index) keyPressing_ = -1;
    focus_ = index;
    return true;
}

// ---------------------------------------------------------------------------------------------------------
// Window and drawing
// ---------------------------------------------------------------------------------------------------------

namespace {

// About the 8-point dialog font at 96 dpi, which gives the 6 x 13 base unit; at a display scale the font is
// opened at that many times the size, so its text is rasterised sharp at the screen's own pixels.
constexpr int kFontPixels = 11;

struct Colour {
    Uint8 r, g, b;
};
constexpr Colour kFace{240, 240, 240};
constexpr Colour kButton{225, 225, 225};
constexpr Colour kButtonDown{184, 184, 184};
constexpr Colour kButtonChecked{200, 200, 200};
constexpr Colour kShadow{128, 128, 128};
constexpr Colour kBorder{112, 112, 112};
constexpr Colour kDefaultBorder{32, 32, 32};
constexpr Colour kGroupLine{172, 172, 172};
constexpr Colour kText{0, 0, 0};

struct TextImage {
    SDL_Texture* texture = nullptr;
    int width = 0, height = 0;
};

struct Window {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    TTF_Font* font = nullptr;
    std::vector<TextImage> texts;  // one per control
    int line = 1;                  // pixels of a one-pixel line at the display scale
    bool ttfStarted = false;
    bool videoStarted = false;
};

void SetColour(SDL_Renderer* renderer, Colour c)
{
    SDL_SetRenderDrawColor(renderer, c.r, c.g, c.b, 255);
}

void FillRect(SDL_Renderer* renderer, int x, int y, int w, int h, Colour c)
{
    SetColour(renderer, c);
    const SDL_Rect rect{x, y, w, h};
    SDL_RenderFillRect(renderer, &rect);
}

void FrameRect(SDL_Renderer* renderer, int x, int y, int w, int h, int thickness, Colour c)
{
    for (int i = 0; i < thickness; ++i) {
        SetColour(renderer, c);
        const SDL_Rect rect{x + i, y + i, w - 2 * i, h - 2 * i};
        SDL_RenderDrawRect(renderer, &rect);
    }
}

// Every other dot, like the focus rectangle of a Windows dialog; a dot is `line` pixels square.
void DottedRect(SDL_Renderer* renderer, int x, int y, int w, int h, int line, Colour c)
{
    SetColour(renderer, c);
    auto dot = [&](int px, int py) {
        const SDL_Rect rect{px, py, line, line};
        SDL_RenderFillRect(renderer, &rect);
    };
    for (int i = 0; i < w; i += 2 * line) {
        dot(x + i, y);
        dot(x + i, y + h - line);
    }
    for (int j = 0; j < h; j += 2 * line) {
        dot(x, y + j);
        dot(x + w - line, y + j);
    }
}

TextImage MakeText(SDL_Renderer* renderer, TTF_Font* font, const std::string& text)
{
    TextImage image;
    if (text.empty()) return image;
    SDL_Surface* surface =
        TTF_RenderUTF8_Blended(font, text.c_str(), SDL_Color{kText.r, kText.g, kText.b, 255});
    if (!surface) return image;
    image.texture = SDL_CreateTextureFromSurface(renderer, surface);
    image.width = surface->w;
    image.height = surface->h;
    SDL_FreeSurface(surface);
    return image;
}

void DrawText(SDL_Renderer* renderer, const TextImage& text, int x, int y)
{
    if (!text.texture) return;
    const SDL_Rect rect{x, y, text.width, text.height};
    SDL_RenderCopy(renderer, text.texture, nullptr, &rect);
}

void DrawGroupBox(SDL_Renderer* renderer, const DialogControl& control, const TextImage& caption, int line)
{
    const DialogRect& r = control.rect;
    // The frame runs through the middle of the caption's line, and the caption breaks it.
    const int top = r.y + caption.height / 2;
    FrameRect(renderer, r.x, top, r.width, r.height - (top - r.y), line, kGroupLine);
    if (caption.texture) {
        const int captionX = r.x + 7 * line;
        FillRect(renderer, captionX - 2 * line, r.y, caption.width + 4 * line, caption.height, kFace);
        DrawText(renderer, caption, captionX, r.y);
    }
}

void DrawButton(SDL_Renderer* renderer, const Dialog& dialog, int index, const TextImage& caption, int line)
{
    const DialogControl& control = dialog.Controls()[index];
    const DialogRect& r = control.rect;
    const bool pressed = dialog.LooksPressed(index);
    Colour fill = kButton;
    if (control.kind == DialogControlKind::PushLikeCheckBox && control.checked) fill = kButtonChecked;
    if (dialog.IsHeldDown(index)) fill = kButtonDown;
    FillRect(renderer, r.x, r.y, r.width, r.height, fill);
    if (pressed) {
        // A sunken edge along the top and left says "stays down" on a flat button.
        SetColour(renderer, kShadow);
        for (int i = 1; i <= 2 * line; ++i) {
            SDL_RenderDrawLine(renderer, r.x + i, r.y + i, r.x + r.width - 2, r.y + i);
            SDL_RenderDrawLine(renderer, r.x + i, r.y + i, r.x + i, r.y + r.height - 2);
        }
    }
    const bool isDefault = dialog.DrawnDefaultIndex() == index;
    FrameRect(renderer, r.x, r.y, r.width, r.height, (isDefault ? 2 : 1) * line,
              isDefault ? kDefaultBorder : kBorder);

    const int shift = pressed ? line : 0;
    const int textX = r.x + (r.width - caption.width) / 2 + shift;
    const int textY = r.y + (r.height - caption.height) / 2 + shift;
    DrawText(renderer, caption, textX, textY);

    if (dialog.FocusIndex() == index) {
        // Three pixels in, unless that would run the ring through the caption of a narrow button.
        const int inset = ((r.width - caption.width) / 2 >= 6 * line ? 3 : 2) * line;
        DottedRect(renderer, r.x + inset, r.y + inset, r.width - 2 * inset, r.height - 2 * inset, line,
                   kText);
    }
}

void DrawDialog(Window& w, const Dialog& dialog)
{
    FillRect(w.renderer, 0, 0, dialog.ClientWidth(), dialog.ClientHeight(), kFace);
    const auto& controls = dialog.Controls();
    // Group boxes first, so that the controls inside them are drawn over their frames.
    for (size_t i = 0; i < controls.size(); ++i)
        if (controls[i].kind == DialogControlKind::GroupBox)
            DrawGroupBox(w.renderer, controls[i], w.texts[i], w.line);
    for (size_t i = 0; i < controls.size(); ++i)
        if (controls[i].kind != DialogControlKind::GroupBox)
            DrawButton(w.renderer, dialog, static_cast<int>(i), w.texts[i], w.line);
    SDL_RenderPresent(w.renderer);
}

void CloseWindow(Window& w)
{
    for (TextImage& text : w.texts)
        if (text.texture) SDL_DestroyTexture(text.texture);
    w.texts.clear();
    if (w.font) TTF_CloseFont(w.font);
    if (w.renderer) SDL_DestroyRenderer(w.renderer);
    if (w.window) SDL_DestroyWindow(w.window);
    if (w.videoStarted) {
        // Nothing of the dialog may reach whoever opens the next window: the key releases and the quit
        // request that closing a last window makes are dropped here.
        SDL_PumpEvents();
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
    if (w.ttfStarted) TTF_Quit();
    if (w.videoStarted) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    w = Window{};
}

// True when a window on this driver is one a person can see and answer.
bool ShowsWindows(const char* driver)
{
    return driver && SDL_strcmp(driver, "offscreen") != 0 && SDL_strcmp(driver, "dummy") != 0;
}

// SDL falls through to its offscreen driver when the display refuses a connection, and a dialog there
// would wait forever unseen; an X server that is just resetting refuses for a moment, hence the retries.
bool StartVideo(const Dialog& dialog)
{
    constexpr int kAttempts = 5;
    // The click that brings the dialog to the front also presses what it lands on, as a user expects;
    // SDL would otherwise drop a click read within a few milliseconds of the focus arriving, which is
    // every such click when the dialog reads both together.
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    for (int attempt = 1;; ++attempt) {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) {
            const char* driver = SDL_GetCurrentVideoDriver();
            if (ShowsWindows(driver)) {
                StartGameControllers();  // a pad answers the dialog too
                return true;
            }
            SDL_SetError("no display (video driver \"%s\")", driver ? driver : "none");
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
            // A driver that was asked for by name will not change on a retry.
            if (SDL_getenv("SDL_VIDEODRIVER")) attempt = kAttempts;
        }
        if (attempt >= kAttempts) break;
        SDL_Delay(100 * attempt);
    }
    std::fprintf(stderr, "Dialog \"%s\": cannot show a window: %s\n", dialog.Title(), SDL_GetError());
    return false;
}

bool OpenWindow(Window& w, Dialog& dialog)
{
    if (!StartVideo(dialog)) return false;
    w.videoStarted = true;
    // In a page the canvas keeps CSS pixels; elsewhere the dialog is laid out at the display's scale, as
    // far as the display's usable area holds it (at scale 1 it keeps its size, as the window does).
    if (SystemCan(SystemAbility::DisplayModes)) {
        double scale = DisplayScale(0);
        SDL_Rect usable{};
        if (scale != 1.0 && SDL_GetDisplayUsableBounds(0, &usable) == 0 && usable.w > 0 && usable.h > 0) {
            dialog.LayOut(1.0);
            scale = std::min({scale, static_cast<double>(usable.w) / dialog.ClientWidth(),
                              static_cast<double>(usable.h) / dialog.ClientHeight()});
        }
        dialog.LayOut(std::max(scale, 1.0 / 4.0));
    }
    w.line = std::max(1, static_cast<int>(std::lround(dialog.Scale())));
    if (TTF_Init() != 0) {
        std::fprintf(stderr, "Dialog \"%s\": cannot start SDL_ttf: %s\n", dialog.Title(), TTF_GetError());
        return false;
    }
    w.ttfStarted = true;
    w.font = TTF_OpenFont(DialogFontFile(), static_cast<int>(std::lround(kFontPixels * dialog.Scale())));
    if (!w.font) {
        std::fprintf(stderr, "Dialog \"%s\": cannot open the font %s: %s\n", dialog.Title(), DialogFontFile(),
                     TTF_GetError());
        return false;
    }
    // In a page the tab keeps the page's own title.
    const bool titled = SystemCan(SystemAbility::WindowTitles);
    if (!titled) ReportPageWindowTitle(dialog.Title());
    w.window =
        SDL_CreateWindow(titled ? dialog.Title() : nullptr, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                         dialog.ClientWidth(), dialog.ClientHeight(), SDL_WINDOW_HIDDEN);
    if (!w.window) {
        std::fprintf(stderr, "Dialog \"%s\": cannot open a window: %s\n", dialog.Title(), SDL_GetError());
        return false;
    }
    // Software drawing: a handful of rectangles needs no GL context, and none is left behind.
    w.renderer = SDL_CreateRenderer(w.window, -1, SDL_RENDERER_SOFTWARE);
    if (!w.renderer) {
        std::fprintf(stderr, "Dialog \"%s\": cannot draw in its window: %s\n", dialog.Title(),
                     SDL_GetError());
        return false;
    }
    for (const DialogControl& control : dialog.Controls())
        w.texts.push_back(MakeText(w.renderer, w.font, control.text));
    return true;
}

DialogKey KeyOf(SDL_Keycode code)
{
    switch (code) {
        case SDLK_TAB:
            return DialogKey::Tab;
        case SDLK_SPACE:
            return DialogKey::Space;
        case SDLK_RETURN:
        case SDLK_KP_ENTER:
            return DialogKey::Enter;
        case SDLK_ESCAPE:
            return DialogKey::Escape;
        default:
            return DialogKey::Other;
    }
}

// A pad's button as the key it stands for in a dialog (A and Start are Enter, B and Back Escape).
void DispatchPadButton(Dialog& dialog, const SDL_Event& event)
{
    bool down = false, shift = false;
    const int vk = DialogKeyOfControllerEvent(event, down, shift);
    const DialogKey key = vk == VK_RETURN   ? DialogKey::Enter
                          : vk == VK_ESCAPE ? DialogKey::Escape
                          : vk == VK_SPACE  ? DialogKey::Space
                          : vk == VK_TAB    ? DialogKey::Tab
                                            : DialogKey::Other;
    if (key == DialogKey::Other) return;
    if (down) {
        dialog.KeyDown(key, shift, false);
    } else {
        dialog.KeyUp(key);
    }
}

// One event into the dialog. Closing a last window makes SDL report both a window close and a quit
// request; closeSeen keeps that to one IDCANCEL.
void Dispatch(Dialog& dialog, const SDL_Event& event, bool& closeSeen)
{
    switch (event.type) {
        case SDL_QUIT:
            if (!closeSeen) dialog.Close();
            closeSeen = true;
            return;
        case SDL_WINDOWEVENT:
            if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
                if (!closeSeen) dialog.Close();
                closeSeen = true;
            } else if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
                dialog.FocusLost();
            }
            return;
        case SDL_KEYDOWN:
            closeSeen = false;
            if (event.key.keysym.sym == SDLK_F4 && (event.key.keysym.mod & KMOD_ALT)) {
                if (!event.key.repeat) dialog.Close();
                return;
            }
            dialog.KeyDown(KeyOf(event.key.keysym.sym), (event.key.keysym.mod & KMOD_SHIFT) != 0,
                           event.key.repeat != 0);
            return;
        case SDL_KEYUP:
            dialog.KeyUp(KeyOf(event.key.keysym.sym));
            return;
        case SDL_MOUSEBUTTONDOWN:
            closeSeen = false;
            if (event.button.button == SDL_BUTTON_LEFT) dialog.MouseDown(event.button.x, event.button.y);
            return;
        case SDL_MOUSEMOTION:
            dialog.MouseMove(event.motion.x, event.motion.y);
            return;
        case SDL_MOUSEBUTTONUP:
            if (event.button.button == SDL_BUTTON_LEFT) dialog.MouseUp(event.button.x, event.button.y);
            return;
        default:
            DispatchPadButton(dialog, event);
            return;
    }
}

// A dialog on the screen: its window, and when it was last drawn.
struct ShownDialog {
    Dialog dialog;
    Window w;
    bool closeSeen = false;
    bool redraw = true;
    Uint32 drawnAt = 0;

    ShownDialog(const DialogTemplate& dialogTemplate, DialogProc proc, intptr_t param)
        : dialog(dialogTemplate, proc, param)
    {
    }
};

// Opens the window and starts the dialog; false (window closed again) when no window can be opened.
bool ShowDialog(ShownDialog& shown)
{
    if (!OpenWindow(shown.w, shown.dialog)) {
        CloseWindow(shown.w);
        return false;
    }
    shown.dialog.Start();  // as on Windows, the procedure sets the controls up before the window shows
    if (!shown.dialog.Ended()) {
        SDL_ShowWindow(shown.w.window);
        SDL_RaiseWindow(shown.w.window);
    }
    return true;
}

// Draws when something changed (and every half second, so a lost expose is soon mended), then takes
// the waiting events. False when nothing was waiting.
bool DialogPass(ShownDialog& shown)
{
    if (shown.redraw || SDL_TICKS_PASSED(SDL_GetTicks(), shown.drawnAt + 500)) {
        DrawDialog(shown.w, shown.dialog);
        shown.drawnAt = SDL_GetTicks();
        shown.redraw = false;
    }
    SDL_Event event;
    // Polled, not waited for: SDL's wait wakes itself with an X message sent to the window, and one sent
    // after the window is gone (as the dialog ends) is an X error that ends the process with status 1.
    if (!SDL_PollEvent(&event)) return false;
    do {
        Dispatch(shown.dialog, event, shown.closeSeen);
    } while (!shown.dialog.Ended() && SDL_PollEvent(&event));
    shown.redraw = true;
    return true;
}

ShownDialog* pageDialog = nullptr;
void (*pageDialogThen)(intptr_t) = nullptr;

void PageDialogPass()
{
    if (!pageDialog->dialog.Ended()) DialogPass(*pageDialog);
    if (!pageDialog->dialog.Ended()) return;
    CloseWindow(pageDialog->w);
    const intptr_t result = pageDialog->dialog.Result();
    delete pageDialog;
    pageDialog = nullptr;
    ReplacePageCanvas();
    pageDialogThen(result);
    EndProcess(0);
}

}  // namespace

intptr_t RunModalDialog(const DialogTemplate& dialogTemplate, DialogProc proc, intptr_t param)
{
    ShownDialog shown(dialogTemplate, proc, param);
    if (!ShowDialog(shown)) return -1;
    while (!shown.dialog.Ended())
        if (!DialogPass(shown)) SDL_Delay(10);
    CloseWindow(shown.w);
    return shown.dialog.Result();
}

void ShowModalDialog(const DialogTemplate& dialogTemplate, DialogProc proc, intptr_t param,
                     void (*then)(intptr_t result))
{
    if (SystemCan(SystemAbility::OwnLoops)) {
        then(RunModalDialog(dialogTemplate, proc, param));
        EndProcess(0);
    }
    pageDialog = new ShownDialog(dialogTemplate, proc, param);
    pageDialogThen = then;
    if (!ShowDialog(*pageDialog)) {
        delete pageDialog;
        pageDialog = nullptr;
        then(-1);
        EndProcess(0);
    }
    for (const DialogControl& control : pageDialog->dialog.Controls())
        if (control.kind != DialogControlKind::GroupBox)
            ReportPageDialogControl(control.text.c_str(), control.rect.x + control.rect.width / 2,
                                    control.rect.y + control.rect.height / 2);
    ReportPageStage("dialog");
    RunPagePasses(PageDialogPass);
}
