// The setup window as it is laid out at 96 DPI, the one table that the form
// tests, the welcome page's test and the display-scale test all check the
// window against: each control's class, text and place in its parent, and
// what the Welcome page makes of it.
#pragma once

#include "wrentide_setup/ui/form.h"

namespace wt::test {

// What a control takes from its width beside its text, for the check that no
// text is cut: nothing, a push button's edges, a check box's box; or no check.
enum class Margin { None, PushButton, CheckBox, NotMeasured };

struct LayoutRow {
    ControlId id;
    const char* className;
    const char* text;  // nullptr: the folder box and the licence, whose texts are not the table's
    int left, top, width, height;
    bool visible, enabled;  // on the Welcome page
    Margin margin;
    bool sizedToText;  // takes its text's size once the install shows it
};

// Every control but the folder box's label, whose width is its text's.
inline constexpr LayoutRow kWindowLayout[] = {
    {Label1, "Static", "To install WrenTide to your system click next...", 20, 211, 547, 31, true, true,
     Margin::NotMeasured, false},  // in Tahoma 12 point, measured on its own
    {GroupBox1, "TGroupBox", "", 0, 89, 590, 285, true, true, Margin::NotMeasured, false},
    {Button1, "Button", "&Install", 272, 245, 153, 33, true, false, Margin::PushButton, false},
    {Button2, "Button", "&Cancel", 431, 245, 153, 33, true, true, Margin::PushButton, false},
    {Button4, "Button", "&Next", 272, 245, 153, 33, true, true, Margin::PushButton, false},
    {StaticText4, "Static", "The EULA is only available in English", 16, 245, 250, 28, false, true, Margin::None, false},
    {GroupBox2, "TGroupBox", "", 2, 15, 586, 224, false, true, Margin::NotMeasured, false},
    {Memo1, "Edit", nullptr, 12, 15, 562, 186, true, true, Margin::NotMeasured, false},
    {CheckBox1, "Button", "I have read and agree with the EULA ", 24, 204, 541, 17, true, true, Margin::CheckBox, false},
    {GroupBox3, "TGroupBox", "", 2, 6, 586, 233, false, true, Margin::NotMeasured, false},
    {LabeledEdit1, "Edit", nullptr, 22, 36, 547, 21, true, true, Margin::NotMeasured, false},
    {Button3, "Button", "Chan&ge", 467, 63, 102, 25, true, true, Margin::PushButton, false},
    {CheckBox2, "Button", "Place a shortcut on the Desktop", 203, 93, 208, 17, true, true, Margin::CheckBox, false},
    {CheckBox4, "Button", "Run WrenTide when install finishes", 203, 116, 216, 17, true, true, Margin::CheckBox, false},
    {StaticText2, "Static", "Installing Wrentide........", 22, 169, 125, 17, false, true, Margin::NotMeasured, true},
    {ProgressBar1, "msctls_progress32", "", 22, 192, 547, 25, false, true, Margin::NotMeasured, false},
    {StaticText3, "Static", "Uninstall any other versions of WrenTide before proceeding.", 18, 142, 547, 18, true, true,
     Margin::None, false},
};

}  // namespace wt::test
