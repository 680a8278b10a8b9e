// Setup's command line as deployment tools write it.
#include "wrentide_setup/context/setup_command.h"

#include "wrentide_setup/context/elevation.h"

#include <gtest/gtest.h>

namespace wt {
namespace {

TEST(ParseSetupCommand, ReadsEverySwitchAndRefusesBadLines) {
    const RunMode I = RunMode::Interactive, S = RunMode::Silent, V = RunMode::VerySilent;
    struct Case {
        const char* line;
        RunMode mode;
        const char* folder;  // nullptr: none given
        bool desktop, log;
        const char* logFile;
        bool help;
        const char* error;  // the start of the refusal; "" for a good line
    } cases[] = {
        {"setup.exe", I, nullptr, false, false, "", false, ""},
        {"\"C:\\Down Loads\\setup.exe\"", I, nullptr, false, false, "", false, ""},
        {"\"C:\\Down Loads\\setup.exe\" /S", V, nullptr, false, false, "", false, ""},
        {"setup.exe -verysilent /suppressmsgboxes /NoRestart", V, nullptr, false, false, "", false, ""},
        {"setup.exe /SILENT /DESKTOP", S, nullptr, true, false, "", false, ""},
        {"setup.exe /S /DIR=\"C:\\Some Where\\WrenTide\" /LOG=\"C:\\logs\\wt.log\"", V, "C:\\Some Where\\WrenTide",
         false, true, "C:\\logs\\wt.log", false, ""},
        {"setup.exe \"/dir=C:\\Some Where\" /log", I, "C:\\Some Where", false, true, "", false, ""},
        {"setup.exe /S /D=C:\\Program Files\\Wren Tide  ", V, "C:\\Program Files\\Wren Tide", false, false, "",
         false, ""},
        {"setup.exe /D=C:\\A /S", I, "C:\\A /S", false, false, "", false, ""},  // /D= takes the rest
        {"setup.exe /?", I, nullptr, false, false, "", true, ""},
        {"setup.exe -HELP /S", V, nullptr, false, false, "", true, ""},
        {"setup.exe /S /BOGUS", V, nullptr, false, false, "", false, "Unknown switch: /BOGUS"},
        {"setup.exe /S C:\\WrenTide", V, nullptr, false, false, "", false, "Unknown switch: C:\\WrenTide"},
        {"setup.exe /S /DIR", V, "", false, false, "", false, "The switch /DIR needs a folder"},
        {"setup.exe /S /DIR=", V, "", false, false, "", false, "The switch /DIR= needs a folder"},
        {"setup.exe /S /LOG=\"\"", V, nullptr, false, true, "", false, "The switch /LOG=\"\" needs a file"},
        {"setup.exe /S=1", I, nullptr, false, false, "", false, "The switch /S=1 takes no value"},
        {"setup.exe /SILENT /VERYSILENT", V, nullptr, false, false, "", false, "The switches /SILENT and /S"},
        {"setup.exe /S /DIR=C:\\A /DIR=C:\\B", V, "C:\\B", false, false, "", false, "The switch /DIR is given twice"},
        {"setup.exe /DIR=C:\\A /D=C:\\B", I, "C:\\B", false, false, "", false, "The switches /DIR and /D"},
        {"setup.exe /S /D=", V, "", false, false, "", false, "The switch /D= needs a folder"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const SetupCommand got = ParseSetupCommand(c.line);
        EXPECT_EQ(got.mode, c.mode);
        EXPECT_EQ(got.hasFolder, c.folder != nullptr);
        if (c.folder) {
            EXPECT_EQ(got.folder, c.folder);
        }
        EXPECT_EQ(got.desktop, c.desktop);
        EXPECT_EQ(got.log, c.log);
        EXPECT_EQ(got.logFile, c.logFile);
        EXPECT_EQ(got.help, c.help);
        EXPECT_EQ(got.error.substr(0, std::string(c.error).size()), c.error);
        EXPECT_EQ(got.error.empty(), *c.error == '\0');
    }
}

TEST(ParseSetupCommand, ReadsTheScopeAndHandsOnTheArgumentsAsTheyStand) {
    const InstallScope M = InstallScope::Machine, U = InstallScope::User;
    struct Case {
        const char* line;
        InstallScope scope;
        bool refused;
    } cases[] = {
        {"setup.exe /S", M, false},
        {"setup.exe -allusers /S", M, false},
        {"setup.exe /CurrentUser", U, false},
        {"setup.exe /CURRENTUSER /CURRENTUSER", U, false},
        {"setup.exe /ALLUSERS -currentuser", U, true},
        {"setup.exe /CURRENTUSER=1", M, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const SetupCommand got = ParseSetupCommand(c.line);
        EXPECT_EQ(got.scope, c.scope);
        EXPECT_EQ(got.error.empty(), !c.refused) << got.error;
    }
    EXPECT_TRUE(ParseSetupCommand("setup.exe /S /restarted").restarted);
    // The uninstaller reads its line here too, with setup's other switches unknown to it.
    EXPECT_EQ(ParseSetupCommand("uninstall.exe /CURRENTUSER /S /RESTARTED", CommandFor::Uninstaller).error, "");
    EXPECT_EQ(ParseSetupCommand("uninstall.exe /S /DIR=C:\\X", CommandFor::Uninstaller).error, "Unknown switch: /DIR=C:\\X");
    EXPECT_EQ(ArgumentsOf("\"C:\\Down Loads\\setup.exe\"  /S \"/DIR=C:\\A B\""), "/S \"/DIR=C:\\A B\"");
    EXPECT_EQ(ArgumentsOf("setup.exe"), "");
}

TEST(DecideStart, ElevatesOnlyForEveryoneAndFallsBackToThisUser) {
    const InstallScope M = InstallScope::Machine, U = InstallScope::User;
    const StartAction I = StartAction::Install, R = StartAction::RelaunchElevated, O = StartAction::OfferThisUser,
                      E = StartAction::EndRefused;
    struct Case {
        InstallScope asked;
        bool elevated, refused, unattended;
        StartAction action;
    } cases[] = {
        {M, true, false, false, I},  {M, true, false, true, I},  {M, false, false, false, R},
        {M, false, false, true, R},  {M, false, true, false, O}, {M, false, true, true, E},
        {U, false, false, false, I}, {U, false, false, true, I}, {U, true, false, true, I},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(c.asked) << c.elevated << c.refused << c.unattended);
        EXPECT_EQ(DecideStart(c.asked, c.elevated, c.refused, c.unattended), c.action);
    }
}

}  // namespace
}  // namespace wt
