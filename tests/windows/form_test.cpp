// The setup window built in this process, hidden, against the prefix's real
// registry and folders.
#include "wrentide_setup/ui/form.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "test_support.h"
#include "window_layout.h"
#include "wrentide_setup/ui/dpi.h"

namespace wt {
namespace {

class Form : public ::testing::Test {
protected:
    void SetUp() override {
        test::DeleteSettingsKey();
        ASSERT_TRUE(RegisterFormClasses(GetModuleHandleA(nullptr)));
    }
    void TearDown() override {
        if (form_) DestroyWindow(form_->Handle());
        test::DeleteSettingsKey();
    }
    TForm1& Make() {
        form_ = TForm1::Create(GetModuleHandleA(nullptr), plan_, &command_);
        EXPECT_NE(form_, nullptr);
        return *form_;
    }
    static std::string TipOf(HWND owner, HWND tool) {
        HWND tip = nullptr;
        while ((tip = FindWindowExA(nullptr, tip, TOOLTIPS_CLASSA, nullptr)))
            if (GetWindow(tip, GW_OWNER) == owner) break;
        if (!tip) return "<no tooltip>";
        char text[512] = "";
        TOOLINFOA info = {};
        info.cbSize = sizeof info;
        info.hwnd = owner;
        info.uId = reinterpret_cast<UINT_PTR>(tool);
        info.lpszText = text;
        SendMessageA(tip, TTM_GETTEXTA, sizeof text, reinterpret_cast<LPARAM>(&info));
        return text;
    }
    // The text's extent in the font the control draws with.
    static SIZE ExtentInItsFont(HWND control, const std::string& text) {
        HDC dc = GetDC(control);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
        SIZE size = {};
        GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
        SelectObject(dc, old);
        ReleaseDC(control, dc);
        return size;
    }
    test::FailureRecorder recorder_;
    SetupCommand command_;
    InstallPlan plan_;
    InstallPaths& paths_ = plan_.paths;
    TForm1* form_ = nullptr;
};

TEST_F(Form, CreationFillsTheFolderBoxItsHintAndTheInstallCaption) {
    TForm1& form = Make();
    EXPECT_EQ(form.Text(Button1), "&Install");
    EXPECT_FALSE(paths_.ProgPth.empty());
    EXPECT_EQ(form.Text(LabeledEdit1), paths_.ProgPth);
    EXPECT_EQ(TipOf(form.Handle(), form.Control(LabeledEdit1)), paths_.ProgPth);
    EXPECT_TRUE(recorder_.Texts().empty());
}

// A window that cannot be built whole (here its frames' class is gone) is
// never made: the error reaches the user, and no half-built window remains.
TEST_F(Form, AWindowThatFailsToBuildIsNotMade) {
    ASSERT_TRUE(UnregisterClassW(L"TGroupBox", GetModuleHandleA(nullptr)));
    EXPECT_EQ(TForm1::Create(GetModuleHandleA(nullptr), plan_, &command_), nullptr);
    EXPECT_EQ(recorder_.Texts(), std::vector<std::string>{"Cannot create the setup window."});
    EXPECT_EQ(FindWindowA(kFormClass, nullptr), nullptr);
    ASSERT_TRUE(RegisterFormClasses(GetModuleHandleA(nullptr)));
}

TEST_F(Form, ARecordedInstallationIsOfferedAsReInstall) {
    test::SetText(test::kSettings, "ProgPth", "D:\\Wren Tide");
    test::SetText(test::kSettings, "DBPth", "D:\\Data");
    TForm1& form = Make();
    EXPECT_EQ(form.Text(Button1), "&Re-Install");
    EXPECT_EQ(form.Text(LabeledEdit1), "D:\\Wren Tide");
}

TEST_F(Form, ControlsUseTahomaEightPoint) {
    TForm1& form = Make();
    for (ControlId id : {Button1, Button2, Memo1, CheckBox1, LabeledEdit1, StaticText2, StaticText4}) {
        SCOPED_TRACE(id);
        LOGFONTA font = {};
        HFONT handle = reinterpret_cast<HFONT>(SendMessageA(form.Control(id), WM_GETFONT, 0, 0));
        ASSERT_NE(handle, nullptr);
        ASSERT_TRUE(GetObjectA(handle, sizeof font, &font));
        EXPECT_STREQ(font.lfFaceName, "Tahoma");
        EXPECT_EQ(font.lfHeight, -11) << "8 point at 96 DPI";
    }
}

TEST_F(Form, TheStatusTextSizesItselfToItsText) {
    TForm1& form = Make();
    HWND status = form.Control(StaticText2);
    RECT before;
    GetWindowRect(status, &before);
    for (const char* text : {"Applying preferences....", "Installation Complete", "X"}) {
        SCOPED_TRACE(text);
        form.SetText(StaticText2, text);
        RECT now;
        GetWindowRect(status, &now);
        EXPECT_EQ(now.right - now.left, ExtentInItsFont(status, text).cx);
        EXPECT_EQ(now.left, before.left);
        EXPECT_EQ(now.top, before.top);
        EXPECT_EQ(form.Text(StaticText2), text);
    }
}

TEST_F(Form, TheLicenceTextLeavesEnterAndTabToTheWindow) {
    TForm1& form = Make();
    HWND memo = form.Control(Memo1);
    MSG enter = {memo, WM_KEYDOWN, VK_RETURN, 0, 0, {0, 0}};
    LRESULT code = SendMessageA(memo, WM_GETDLGCODE, VK_RETURN, reinterpret_cast<LPARAM>(&enter));
    EXPECT_FALSE(code & DLGC_WANTALLKEYS);
    EXPECT_FALSE(code & DLGC_WANTMESSAGE);
    // The licence comes from the exe's resources, from its first line.
    EXPECT_GT(GetWindowTextLengthA(memo), 1000);
    EXPECT_EQ(SendMessageA(memo, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
}

TEST_F(Form, TheControlOperationsChangeWhatTheyName) {
    TForm1& form = Make();
    form.SetVisible(GroupBox2, true);
    EXPECT_TRUE(GetWindowLongA(form.Control(GroupBox2), GWL_STYLE) & WS_VISIBLE);
    form.SetEnabled(Button1, true);
    EXPECT_TRUE(IsWindowEnabled(form.Control(Button1)));
    form.SetProgress(45);
    EXPECT_EQ(SendMessageA(form.Control(ProgressBar1), PBM_GETPOS, 0, 0), 45);
    EXPECT_FALSE(form.Checked(CheckBox2));
    SendMessageA(form.Control(CheckBox2), BM_SETCHECK, BST_CHECKED, 0);
    EXPECT_TRUE(form.Checked(CheckBox2));
    form.SetHint(LabeledEdit1, "C:\\Other");
    EXPECT_EQ(TipOf(form.Handle(), form.Control(LabeledEdit1)), "C:\\Other");
    EXPECT_EQ(form.Text(LabeledEdit1), paths_.ProgPth) << "the hint is not the text";
}

TEST_F(Form, LeavingTheFolderBoxTakesTheTextAsTypedAndKeepsTheHint) {
    TForm1& form = Make();
    const std::string hint = paths_.ProgPth;
    for (const char* typed : {"D:\\Somewhere Else\\Wren", "relative\\path ", ""}) {
        SCOPED_TRACE(typed);
        SetWindowTextA(form.Control(LabeledEdit1), typed);
        form.LabeledEdit1Exit();
        EXPECT_EQ(paths_.ProgPth, typed);
        EXPECT_EQ(TipOf(form.Handle(), form.Control(LabeledEdit1)), hint);
    }
}

// A move to a monitor of another scale: the suggested frame is taken and every
// control, font and icon made again for the new DPI; and back again.
TEST_F(Form, ANewDpiLaysTheWindowOutAgain) {
    TForm1& form = Make();
    form.SetText(StaticText2, "Installing Wrentide........");
    const DWORD style = GetWindowLongA(form.Handle(), GWL_STYLE), exStyle = GetWindowLongA(form.Handle(), GWL_EXSTYLE);
    for (UINT dpi : {144u, 192u, 96u}) {
        SCOPED_TRACE(dpi);
        RECT suggested = {40, 30, 40 + Scaled(590, dpi), 30 + Scaled(374, dpi)};
        AdjustFrameForDpi(suggested, style, exStyle, dpi);
        SendMessageW(form.Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));

        RECT frame;
        GetWindowRect(form.Handle(), &frame);
        EXPECT_TRUE(EqualRect(&frame, &suggested)) << frame.left << "," << frame.top << " " << frame.right;
        for (const test::LayoutRow& row : test::kWindowLayout) {
            if (row.sizedToText) continue;  // measured below
            SCOPED_TRACE(row.id);
            RECT r;
            GetWindowRect(form.Control(row.id), &r);
            MapWindowPoints(nullptr, GetParent(form.Control(row.id)), reinterpret_cast<POINT*>(&r), 2);
            EXPECT_NEAR(r.left, Scaled(row.left, dpi), 1);
            EXPECT_NEAR(r.top, Scaled(row.top, dpi), 1);
            EXPECT_NEAR(r.right - r.left, Scaled(row.width, dpi), 1);
            EXPECT_NEAR(r.bottom - r.top, Scaled(row.height, dpi), 1);
        }
        for (ControlId id : {Button1, CheckBox4, LabeledEdit1, StaticText2}) {
            LOGFONTA font = {};
            ASSERT_TRUE(GetObjectA(reinterpret_cast<HFONT>(SendMessageA(form.Control(id), WM_GETFONT, 0, 0)),
                                   sizeof font, &font));
            EXPECT_EQ(font.lfHeight, -Scaled(11, dpi));
        }
        // The texts that take their own size take it in the new font.
        for (ControlId id : {StaticText2, LabeledEdit1Label}) {
            RECT r;
            GetWindowRect(form.Control(id), &r);
            EXPECT_EQ(r.right - r.left, ExtentInItsFont(form.Control(id), form.Text(id)).cx) << form.Text(id);
        }
        ICONINFO icon = {};
        ASSERT_TRUE(GetIconInfo(reinterpret_cast<HICON>(SendMessageA(form.Handle(), WM_GETICON, ICON_BIG, 0)), &icon));
        BITMAP mask = {};
        GetObjectA(icon.hbmMask, sizeof mask, &mask);
        EXPECT_EQ(mask.bmWidth, SystemMetricForDpi(SM_CXICON, dpi)) << "the window icon at its size";
        DeleteObject(icon.hbmMask);
        if (icon.hbmColor) DeleteObject(icon.hbmColor);
    }
}

}  // namespace
}  // namespace wt
