// Vantrel's utility routines: numbers and texts, files and folders, message
// boxes and the shell, registry, dates and times, system information.
#pragma once

#include "vantrel_export.h"
#include "classlib/TStringList.h"
#include "win32/types.h"

#include <cstdint>
#include <string>

class QWidget;

namespace vantrel {

// ---------------------------------------------------------------------------
// Numbers (dyxsubs/numbers.cpp)
// ---------------------------------------------------------------------------

/// Appends Len random letters A-Z to Result (which is not emptied first).
VANTREL_EXPORT void CreateRandomStr(std::string& Result, int32_t Len);
/// Seeds the process-wide generator behind CreateRandomStr.
VANTREL_EXPORT void SetRandomSeed(uint32_t Seed);
/// Seeds the generator from the clock and the process id.
VANTREL_EXPORT void Randomize();
/// True when every character is 0-9; the empty text gives true.
VANTREL_EXPORT bool IsDigits(const std::string& S);
/// True when S is an integer text (leading spaces, one sign, decimal or hex).
VANTREL_EXPORT bool IsNumberic(const std::string& S);
/// True when S is not empty and holds only 0-9, A-F, a-f.
VANTREL_EXPORT bool IsHexNumber(const std::string& S);
/// Value in exactly Width digits with leading zeros; empty for Value < 0 or Width <= 0.
VANTREL_EXPORT std::string MyIntToStr0(int32_t Value, int32_t Width);
/// Value with "," between groups of three digits.
VANTREL_EXPORT std::string MyIntToStr(int32_t Value);
/// The integer made of the digits and minus signs of S; 0 when that fails.
VANTREL_EXPORT int32_t MyStrToInt(const std::string& S);
/// Whole percentage of Part in Total, at most 99; 0 for a Total of 0.
VANTREL_EXPORT int32_t GetPercentValue(int32_t Part, int32_t Total);

// ---------------------------------------------------------------------------
// Files and folders (dyxsubs/files*.cpp)
// ---------------------------------------------------------------------------

/// Adds the names matching Mask (folder and wildcard pattern) to List.
VANTREL_EXPORT void MySearchFile(const std::string& Mask, TStringList*& List);

// ---------------------------------------------------------------------------
// Message box, form centring and shell (dyxsubs/shell.cpp)
// ---------------------------------------------------------------------------

/// Places Form in the middle of the whole primary screen: Left, then Top,
/// each (screen size - form size) / 2 truncated toward zero (negative when
/// the form is larger). Neither shows nor activates the form; every failure
/// (no screen, a null Form) is dropped.
VANTREL_EXPORT void MoveCenter(QWidget* Form);

/// Shows a modal message box with the MB_* Flags (button set, icon, default
/// button) and returns the ID* value of the button that closed it; 0 when no
/// box can be shown. An empty Caption stands for the application's title; a
/// caption of blanks is kept. Catches nothing.
VANTREL_EXPORT int32_t MsgBox(const std::string& Msg, const std::string& Caption, uint32_t Flags);

/// Opens Target (a file path, a web address, a bare "www." host or a
/// "mailto:" link) with its associated program, without waiting. The shell's
/// result is not examined: a target that cannot be opened is silent. An
/// exception raised by the shell call is dropped, or with RaiseOnError raised
/// again as an Exception with the same message.
VANTREL_EXPORT void DyxShellExecute(const std::string& Target, bool RaiseOnError);

// ---------------------------------------------------------------------------
// Text validators, versions and delimited items (dyxsubs/text.cpp)
// ---------------------------------------------------------------------------

// ---------------------------------------------------------------------------
// Registry (dyxsubs/registry.cpp)
// ---------------------------------------------------------------------------

// ---------------------------------------------------------------------------
// Dates and times (dyxsubs/datetime.cpp)
// ---------------------------------------------------------------------------

// ---------------------------------------------------------------------------
// System information, window message, HTTP (dyxsubs/system.cpp)
// ---------------------------------------------------------------------------

} // namespace vantrel
