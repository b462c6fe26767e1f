// The setup dialog and the dialog behaviour under it, without a window: layout in pixels, keyboard and
// mouse rules, and what "Run ... ", "Quit", Escape and the close box leave behind.
#include "shell/setup_dialog.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/dialog.h"
#include "runtime/global_state.h"

namespace {

class SetupDialogTest : public ::testing::Test {
protected:
    void Open(SetupPresets presets = {})
    {
        presets_ = presets;
        gState.musicOn = !presets.music;  // values that "Run ... " must overwrite
        gState.fullScreen = presets.windowed;
        dialog_ = std::make_unique<Dialog>(SetupDialogTemplate(), SetupDialogProc,
                                           reinterpret_cast<intptr_t>(&presets_));
        dialog_->Start();
    }
    const DialogControl& ControlById(int id) const
    {
        for (const DialogControl& c : dialog_->Controls())
            if (c.id == id) return c;
        ADD_FAILURE() << "no control " << id;
        return dialog_->Controls().front();
    }
    void Key(DialogKey key, bool shift = false)
    {
        dialog_->KeyDown(key, shift, false);
        dialog_->KeyUp(key);
    }
    void ClickOn(int id)
    {
        const DialogRect& r = ControlById(id).rect;
        dialog_->MouseDown(r.x + r.width / 2, r.y + r.height / 2);
        dialog_->MouseUp(r.x + r.width / 2, r.y + r.height / 2);
    }

    SetupPresets presets_;
    std::unique_ptr<Dialog> dialog_;
};

TEST(DialogUnitsTest, ConvertsAndRoundsLikeWindows)
{
    // 1.5 and 1.625 pixels per unit; halves round up.
    EXPECT_EQ(DialogUnitsToPixelsX(0), 0);
    EXPECT_EQ(DialogUnitsToPixelsX(9), 14);  // 13.5
    EXPECT_EQ(DialogUnitsToPixelsX(54), 81);
    EXPECT_EQ(DialogUnitsToPixelsX(65), 98);  // 97.5
    EXPECT_EQ(DialogUnitsToPixelsY(15), 24);  // 24.375
    EXPECT_EQ(DialogUnitsToPixelsY(69), 112);
    EXPECT_EQ(DialogUnitsToPixelsY(4), 7);  // 6.5
    EXPECT_EQ(DialogUnitsToPixelsY(154), 250);
}

TEST(DialogUnitsTest, AtADisplayScaleTheBaseUnitGrows)
{
    for (int units : {0, 1, 4, 9, 15, 54, 65, 69, 99, 154, 157})  // scale 1 is exactly the Windows rounding
        EXPECT_EQ(DialogUnitsToPixelsX(units, 1.0), DialogUnitsToPixelsX(units)) << units;
    for (int units : {0, 1, 4, 9, 15, 54, 65, 69, 99, 154, 157})
        EXPECT_EQ(DialogUnitsToPixelsY(units, 1.0), DialogUnitsToPixelsY(units)) << units;
    EXPECT_EQ(DialogUnitsToPixelsX(9, 2.0), 27);     // 27: scaled before rounding, not 2 x 14
    EXPECT_EQ(DialogUnitsToPixelsY(15, 2.0), 49);    // 48.75
    EXPECT_EQ(DialogUnitsToPixelsY(15, 1.5), 37);    // 36.5625
    EXPECT_EQ(DialogUnitsToPixelsX(104, 2.0), 312);  // the setup dialog's width at 200 %
}

TEST_F(SetupDialogTest, LaidOutAgainAtTwiceTheScaleAndBack)
{
    Open();
    std::vector<DialogRect> before;
    for (const DialogControl& c : dialog_->Controls()) before.push_back(c.rect);
    const int width = dialog_->ClientWidth(), height = dialog_->ClientHeight();
    dialog_->LayOut(2.0);
    EXPECT_EQ(dialog_->Scale(), 2.0);
    EXPECT_NEAR(dialog_->ClientWidth(), 2 * width, 1);
    EXPECT_NEAR(dialog_->ClientHeight(), 2 * height, 1);
    for (size_t i = 0; i < before.size(); ++i) {
        const DialogRect& r = dialog_->Controls()[i].rect;
        EXPECT_NEAR(r.x, 2 * before[i].x, 1);
        EXPECT_NEAR(r.height, 2 * before[i].height, 1);
        EXPECT_LE(r.x + r.width, dialog_->ClientWidth());
    }
    // A click lands on the control at its new place.
    ClickOn(IDC_WINDOWED);
    EXPECT_TRUE(IsDialogButtonChecked(dialog_.get(), IDC_WINDOWED));
    dialog_->LayOut(1.0);
    EXPECT_EQ(dialog_->ClientWidth(), width);
    for (size_t i = 0; i < before.size(); ++i) {
        EXPECT_EQ(dialog_->Controls()[i].rect.x, before[i].x);
        EXPECT_EQ(dialog_->Controls()[i].rect.height, before[i].height);
    }
}

TEST_F(SetupDialogTest, LayoutFitsTheWindowAndNothingOverlaps)
{
    Open();
    EXPECT_STREQ(dialog_->Title(), "Quarnel");
    const DialogRect group = ControlById(-1).rect;
    EXPECT_GE(group.x, 1);
    EXPECT_GE(group.y, 1);
    EXPECT_LE(group.x + group.width, dialog_->ClientWidth() - 1);
    EXPECT_LE(group.y + group.height, dialog_->ClientHeight() - 1);

    const int ids[] = {IDOK, IDCANCEL, IDC_MUSIC, IDC_WINDOWED};
    const char* texts[] = {"Run ... ", "Quit", "Music", "Windowed"};
    for (int i = 0; i < 4; ++i) {
        const DialogControl& c = ControlById(ids[i]);
        EXPECT_EQ(c.text, texts[i]);
        EXPECT_TRUE(c.tabStop);
        EXPECT_GT(c.rect.x, group.x);
        EXPECT_GT(c.rect.y, group.y);
        EXPECT_LT(c.rect.x + c.rect.width, group.x + group.width) << texts[i];
        EXPECT_LT(c.rect.y + c.rect.height, group.y + group.height) << texts[i];
        for (int j = i + 1; j < 4; ++j) {
            const DialogRect a = c.rect, b = ControlById(ids[j]).rect;
            const bool apart = a.x + a.width <= b.x || b.x + b.width <= a.x || a.y + a.height <= b.y ||
                               b.y + b.height <= a.y;
            EXPECT_TRUE(apart) << texts[i] << " overlaps " << texts[j];
        }
    }
    const DialogRect run = ControlById(IDOK).rect;
    EXPECT_EQ(run.x, 14);
    EXPECT_EQ(run.y, 112);
    EXPECT_EQ(run.width, 81);
    EXPECT_EQ(run.height, 34);
}

TEST_F(SetupDialogTest, RunWithoutTouchingAnythingGivesMusicAndFullScreen)
{
    Open();
    EXPECT_TRUE(dialog_->IsChecked(IDC_MUSIC));
    EXPECT_FALSE(dialog_->IsChecked(IDC_WINDOWED));
    EXPECT_TRUE(dialog_->LooksPressed(3));  // a checked push-like box stays down
    Key(DialogKey::Enter);
    ASSERT_TRUE(dialog_->Ended());
    EXPECT_EQ(dialog_->Result(), IDOK);
    EXPECT_TRUE(gState.musicOn);
    EXPECT_TRUE(gState.fullScreen);
}

TEST_F(SetupDialogTest, PresetsStartTheTogglesAndRunReadsThemBack)
{
    Open(SetupPresets{false, true});
    EXPECT_FALSE(dialog_->IsChecked(IDC_MUSIC));
    EXPECT_TRUE(dialog_->IsChecked(IDC_WINDOWED));
    ClickOn(IDOK);
    ASSERT_TRUE(dialog_->Ended());
    EXPECT_FALSE(gState.musicOn);
    EXPECT_FALSE(gState.fullScreen);
}

TEST_F(SetupDialogTest, KeyboardMovesTheFocusInTemplateOrderAndTogglesWithSpace)
{
    Open();
    EXPECT_EQ(dialog_->FocusedId(), IDOK);
    const int forward[] = {IDCANCEL, IDC_MUSIC, IDC_WINDOWED, IDOK, IDCANCEL};
    for (int id : forward) {
        Key(DialogKey::Tab);
        EXPECT_EQ(dialog_->FocusedId(), id);
    }
    const int backward[] = {IDOK, IDC_WINDOWED, IDC_MUSIC};
    for (int id : backward) {
        Key(DialogKey::Tab, true);
        EXPECT_EQ(dialog_->FocusedId(), id);
    }

    // Space clicks on release, and a held key's repeats do nothing more.
    dialog_->KeyDown(DialogKey::Space, false, false);
    EXPECT_TRUE(dialog_->IsChecked(IDC_MUSIC));
    dialog_->KeyDown(DialogKey::Space, false, true);
    dialog_->KeyDown(DialogKey::Space, false, true);
    dialog_->KeyUp(DialogKey::Space);
    EXPECT_FALSE(dialog_->IsChecked(IDC_MUSIC));

    Key(DialogKey::Tab);
    Key(DialogKey::Space);
    EXPECT_TRUE(dialog_->IsChecked(IDC_WINDOWED));

    // Tab while Space is held lets the control go without a click.
    dialog_->KeyDown(DialogKey::Space, false, false);
    EXPECT_TRUE(dialog_->IsHeldDown(dialog_->FocusIndex()));
    dialog_->KeyDown(DialogKey::Tab, false, false);
    dialog_->KeyUp(DialogKey::Space);
    EXPECT_TRUE(dialog_->IsChecked(IDC_WINDOWED));
    EXPECT_FALSE(dialog_->Ended());

    // Enter on a toggle presses the default button.
    Key(DialogKey::Tab, true);
    ASSERT_EQ(dialog_->FocusedId(), IDC_WINDOWED);
    Key(DialogKey::Enter);
    ASSERT_TRUE(dialog_->Ended());
    EXPECT_FALSE(gState.musicOn);
    EXPECT_FALSE(gState.fullScreen);
}

TEST_F(SetupDialogTest, DefaultLookFollowsTheFocusedButton)
{
    Open();
    const int run = dialog_->FocusIndex();
    EXPECT_EQ(dialog_->DrawnDefaultIndex(), run);
    Key(DialogKey::Tab);  // Quit
    EXPECT_EQ(dialog_->DrawnDefaultIndex(), dialog_->FocusIndex());
    Key(DialogKey::Tab);  // Music: the default goes back to "Run ... "
    EXPECT_EQ(dialog_->DrawnDefaultIndex(), run);
    Key(DialogKey::Space);  // a click on a toggle does not end the dialog
    EXPECT_FALSE(dialog_->Ended());
    Key(DialogKey::Tab, true);
    Key(DialogKey::Tab, true);  // back on "Run ... "
    Key(DialogKey::Space);
    ASSERT_TRUE(dialog_->Ended());
    EXPECT_FALSE(gState.musicOn);
    EXPECT_TRUE(gState.fullScreen);
}

TEST_F(SetupDialogTest, MouseClicksCountOnlyWhenReleasedOnTheSameControl)
{
    Open();
    const DialogRect music = ControlById(IDC_MUSIC).rect;
    const DialogRect windowed = ControlById(IDC_WINDOWED).rect;

    ClickOn(IDC_WINDOWED);
    EXPECT_TRUE(dialog_->IsChecked(IDC_WINDOWED));
    EXPECT_EQ(dialog_->FocusedId(), IDC_WINDOWED);

    // Pressed, dragged off and released elsewhere: no click.
    dialog_->MouseDown(music.x + 2, music.y + 2);
    EXPECT_TRUE(dialog_->IsHeldDown(3));
    dialog_->MouseMove(windowed.x + 2, windowed.y + 2);
    EXPECT_FALSE(dialog_->IsHeldDown(3));
    dialog_->MouseUp(windowed.x + 2, windowed.y + 2);
    EXPECT_TRUE(dialog_->IsChecked(IDC_MUSIC));
    EXPECT_TRUE(dialog_->IsChecked(IDC_WINDOWED));

    // Dragged off and back again: it counts.
    dialog_->MouseDown(music.x + 2, music.y + 2);
    dialog_->MouseMove(0, 0);
    dialog_->MouseMove(music.x + music.width - 1, music.y + music.height - 1);
    EXPECT_TRUE(dialog_->IsHeldDown(3));
    dialog_->MouseUp(music.x + music.width - 1, music.y + music.height - 1);
    EXPECT_FALSE(dialog_->IsChecked(IDC_MUSIC));

    // A press on empty space inside the group box, released on a control: nothing, and the focus stays.
    dialog_->MouseDown(music.x, music.y + music.height + 20);
    dialog_->MouseUp(music.x + 2, music.y + 2);
    EXPECT_FALSE(dialog_->IsChecked(IDC_MUSIC));
    EXPECT_EQ(dialog_->FocusedId(), IDC_MUSIC);

    // Losing the window's focus mid-press cancels the press.
    dialog_->MouseDown(music.x + 2, music.y + 2);
    dialog_->FocusLost();
    dialog_->MouseUp(music.x + 2, music.y + 2);
    EXPECT_FALSE(dialog_->IsChecked(IDC_MUSIC));

    ClickOn(IDOK);
    ASSERT_TRUE(dialog_->Ended());
    EXPECT_FALSE(gState.musicOn);
    EXPECT_FALSE(gState.fullScreen);
}

TEST_F(SetupDialogTest, QuitEscapeAndCloseBoxEndTheProcessWithStatusZero)
{
    using ::testing::ExitedWithCode;
    Open();
    EXPECT_EXIT(ClickOn(IDCANCEL), ExitedWithCode(0), "");
    EXPECT_EXIT(Key(DialogKey::Escape), ExitedWithCode(0), "");
    EXPECT_EXIT(dialog_->Close(), ExitedWithCode(0), "");
    EXPECT_EXIT(
        {
            Key(DialogKey::Tab);  // Quit has the focus: Enter presses it, not "Run ... "
            Key(DialogKey::Enter);
        },
        ExitedWithCode(0), "");
    EXPECT_FALSE(dialog_->Ended());  // the parent saw none of it
}

// A general dialog: the procedure sees the messages in the Windows shapes.
struct Recorded {
    unsigned message;
    int id;
    unsigned code;
};
std::vector<Recorded> gRecorded;
int gFocusOnInit = 0;

intptr_t RecordingProc(Dialog* dialog, unsigned message, uintptr_t wParam, intptr_t lParam)
{
    gRecorded.push_back({message, CommandId(wParam), CommandCode(wParam)});
    if (message == WM_INITDIALOG) {
        EXPECT_EQ(lParam, 77);
        if (gFocusOnInit) {
            dialog->SetFocusTo(gFocusOnInit);
            return 0;  // FALSE: the focus was placed here
        }
        return 1;
    }
    if (message == WM_COMMAND && CommandId(wParam) == 5) EndDialog(dialog, 42);
    return 0;
}

TEST(DialogTest, ProcedureGetsInitAndCommandsAndCanPlaceTheFocus)
{
    constexpr DialogControlTemplate controls[] = {
        {-1, "Group", DialogControlKind::GroupBox, false, 0, 0, 100, 100},
        {7, "No tab stop", DialogControlKind::PushButton, false, 5, 10, 40, 14},
        {8, "Toggle", DialogControlKind::PushLikeCheckBox, true, 5, 30, 40, 14},
        {5, "Close", DialogControlKind::PushButton, true, 5, 50, 40, 14},
    };
    const DialogTemplate tmpl{"Test", 110, 110, controls, 4};

    gRecorded.clear();
    gFocusOnInit = 0;
    Dialog plain(tmpl, RecordingProc, 77);
    plain.Start();
    ASSERT_EQ(gRecorded.size(), 1u);
    EXPECT_EQ(gRecorded[0].message, WM_INITDIALOG);
    EXPECT_EQ(gRecorded[0].id, 8);  // wParam names the first tab stop
    EXPECT_EQ(plain.FocusedId(), 8);
    EXPECT_EQ(plain.DrawnDefaultIndex(), -1);  // no default button and a toggle focused

    // Enter with no default button is still IDOK; Escape is IDCANCEL; neither ends this dialog.
    plain.KeyDown(DialogKey::Enter, false, false);
    plain.KeyDown(DialogKey::Escape, false, false);
    ASSERT_EQ(gRecorded.size(), 3u);
    EXPECT_EQ(gRecorded[1].id, IDOK);
    EXPECT_EQ(gRecorded[2].id, IDCANCEL);
    EXPECT_EQ(gRecorded[2].code, BN_CLICKED);

    // Tab skips controls without a tab stop, but the mouse still reaches them.
    plain.KeyDown(DialogKey::Tab, false, false);
    EXPECT_EQ(plain.FocusedId(), 5);
    plain.KeyDown(DialogKey::Tab, false, false);
    EXPECT_EQ(plain.FocusedId(), 8);
    const DialogRect r = plain.Controls()[1].rect;
    plain.MouseDown(r.x + 1, r.y + 1);
    plain.MouseUp(r.x + 1, r.y + 1);
    EXPECT_EQ(plain.FocusedId(), 7);
    EXPECT_EQ(gRecorded.back().id, 7);

    // Space on the focused button clicks it; the procedure ends the dialog, and later input is ignored.
    plain.SetFocusTo(5);
    plain.KeyDown(DialogKey::Space, false, false);
    plain.KeyUp(DialogKey::Space);
    ASSERT_TRUE(plain.Ended());
    EXPECT_EQ(plain.Result(), 42);
    const size_t seen = gRecorded.size();
    plain.KeyDown(DialogKey::Escape, false, false);
    plain.Close();
    EXPECT_EQ(gRecorded.size(), seen);

    // A procedure that places the focus and returns FALSE keeps it there.
    gFocusOnInit = 5;
    Dialog placed(tmpl, RecordingProc, 77);
    placed.Start();
    EXPECT_EQ(placed.FocusedId(), 5);
    EXPECT_FALSE(placed.SetChecked(5, true));  // only check boxes can be checked
    EXPECT_FALSE(placed.SetFocusTo(-1));       // nor can a group box take the focus
}

}  // namespace
