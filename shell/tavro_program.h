// The program around the main frame: what the units set up before the main
// block (the settings, the macro libraries, the document registry, the Qt
// services and clipboard formats), the main block itself, and the hand-over
// of "tavro -e FILE" to a running instance.
#pragma once

#include <QStringList>

#include <string>

// Unit start-up. The macro libraries are read from Folder (the program's
// folder when empty). False, after the error box with the failure's
// message, when the program cannot start: the caller installs the message
// box first.
bool StartUnits(const std::string& Folder = std::string());
// Unit shutdown, in reverse: our data on the clipboard stays for other
// programs, the registry and libraries go, the settings file is written.
void FinishUnits();

// The main block: the defaults object, InitMainGlobals, the frame and its
// StartUp, the message loop, the frame's end, the property panel's layout,
// the defaults object's end. Args are the arguments after the program.
// RefusedStartExitCode, after the error box, when the defaults object
// cannot be made (the installation is damaged): nothing was begun, and
// nothing may be written on the way out, so the caller ends as when
// StartUnits fails, without FinishUnits.
int RunMainBlock(const QStringList& Args);
constexpr int RefusedStartExitCode = 2;

// True for a first argument "/e" or "-e" (any case).
bool IsDdeCommandLine(const QStringList& Args);
// The execute string for the file of a "-e FILE" command line.
std::string DdeOpenCommand(const QStringList& Args);
// "-e FILE": sends the open to the instance that serves the DDE name; true
// only when that instance answers that it took it. False when none does
// (or the command line is another): this program then opens FILE itself.
bool HandOverToRunningInstance(const QStringList& Args);
