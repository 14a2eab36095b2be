// Vantrel's utility routines: numbers and texts, files and folders, message
// boxes and the shell, registry, dates and times, system information.
#pragma once

#include "vantrel_export.h"
#include "classlib/DateUtils.h"
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
/// Seeds the process-wide generator behind CreateRandomStr; equal seeds give
/// equal letters. Until a host seeds it, every run gives the same letters.
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
/// Value with "," between groups of three digits; a negative value has its
/// "-" before the first digit ("-1,234").
VANTREL_EXPORT std::string MyIntToStr(int32_t Value);
/// The integer made of the digits and minus signs of S; 0 when that fails.
VANTREL_EXPORT int32_t MyStrToInt(const std::string& S);
/// Whole percentage of Part in Total, at most 99; 0 for a Total of 0. A
/// percentage below the 32-bit range gives -2147483648.
VANTREL_EXPORT int32_t GetPercentValue(int32_t Part, int32_t Total);

// ---------------------------------------------------------------------------
// Files and folders (dyxsubs/files*.cpp)
// ---------------------------------------------------------------------------

/// Creates every folder along Path (each prefix ending in a backslash, then
/// the whole path); results are ignored. A blank path does nothing.
VANTREL_EXPORT void CreateFullPath(const std::string& Path);
/// Resets the file's attributes to normal and deletes it; true on success.
VANTREL_EXPORT bool MyDeleteFile(const std::string& FileName);
/// As MyDeleteFile; empty on success, otherwise "Can not delete file '<name>'.".
VANTREL_EXPORT std::string MyDeleteFile2(const std::string& FileName);
/// Copies Source over Target (an existing Target is deleted first), with attributes.
VANTREL_EXPORT bool MyCopyFile(const std::string& Source, const std::string& Target);
/// As MyCopyFile; empty on success, otherwise an error text.
VANTREL_EXPORT std::string MyCopyFile2(const std::string& Source, const std::string& Target);
/// Renames (moves) a file, replacing a file of the new name; true on success.
VANTREL_EXPORT bool MyRenameFile(const std::string& OldName, const std::string& NewName);
/// Deletes every file directly in the folder; sub-folders remain.
VANTREL_EXPORT void DeleteAllFile(const std::string& Path);
/// The parent folder of Path, without a trailing backslash.
VANTREL_EXPORT std::string GetUpLevelPath(const std::string& Path);
/// True when both names have the same full form (ignoring the case of A-Z),
/// resolved against BaseDir (GetHomeDir when empty), or against the current
/// folder when BaseDir cannot be entered.
VANTREL_EXPORT bool IsIdenticalFile(const std::string& FileName1, const std::string& FileName2,
                                    const std::string& BaseDir);
/// The low 32 bits of the file's size; 0 when it is missing or cannot be opened.
VANTREL_EXPORT uint32_t MyGetFileSize(const std::string& FileName);
/// The folder of the running program file, ending in a backslash. Raises
/// EOSError when no Windows path leads to that folder (a host folder name
/// such as "a\b" or "x:" that no drive link leads past).
VANTREL_EXPORT std::string GetHomeDir();
/// The name part of FileName without its extension.
VANTREL_EXPORT std::string ExtractFileBaseName(const std::string& FileName);
/// The Windows folder (C:\windows); empty when the call fails.
VANTREL_EXPORT std::string GetWinDir();
/// The Windows system folder (C:\windows\system32); empty when the call fails.
VANTREL_EXPORT std::string GetWinSysDir();
/// The file's bytes; empty when it cannot be opened exclusively or read.
VANTREL_EXPORT std::string ReadFileToStr(const std::string& FileName);
/// Creates or truncates the file and writes Data in one write.
VANTREL_EXPORT bool WriteStrToFile(const std::string& FileName, const std::string& Data);
/// Moves Source to Target now (1) or registers the move for the next restart
/// (0); -1 when Source is not an existing file, -3 when the registration failed.
VANTREL_EXPORT int32_t MoveFileReboot(const std::string& Source, const std::string& Target);
/// S followed by a backslash unless its last character is one.
VANTREL_EXPORT std::string AppendSlash1(const std::string& S);
/// S followed by "/" unless its last character is one.
VANTREL_EXPORT std::string AppendSlash2(const std::string& S);
/// Adds the names matching Mask (folder and wildcard pattern) to List, which
/// is created when null; the caller owns and frees it.
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

/// The Index-th item (1 = first) of Text cut at the one-character Delimiter,
/// trimmed; empty when there is no such item.
VANTREL_EXPORT std::string GetItemByIndex(const std::string& Text, int32_t Index, const std::string& Delimiter);
/// The value of the first item "Name=value" of the delimited Text; empty when none matches.
VANTREL_EXPORT std::string GetItemValue(const std::string& Text, const std::string& Name, const std::string& Delimiter);
/// The same routine as GetItemValue, under its second name.
VANTREL_EXPORT std::string GetItemData(const std::string& Text, const std::string& Name, const std::string& Delimiter);
/// True when the trimmed address has at least 4 characters and an "@" neither first nor last.
VANTREL_EXPORT bool IsValidEmail(const std::string& Address);
/// True when Address begins with Protocol + ":" (ignoring case) and holds "//" from position 2 on.
VANTREL_EXPORT bool IsValidURL(const std::string& Address, const std::string& Protocol);
/// True when every character is a digit or '.'; the empty text gives true.
VANTREL_EXPORT bool IsFileVersion(const std::string& S);
/// True when S is a version text whose value, read with the process-wide
/// decimal separator and narrowed to single precision, is greater than zero.
VANTREL_EXPORT bool IsFileVersion2(const std::string& S);
/// Compares two versions: integer parts as numbers, then fractional parts as
/// texts ignoring case; 0 when either is not a version. Raises EConvertError
/// when an integer part is not a 32-bit integer.
VANTREL_EXPORT int32_t CompareFileVersion2(const std::string& Version1, const std::string& Version2);
/// The text before the first '.'; the whole text when there is none.
VANTREL_EXPORT std::string GetIntegerPart(const std::string& S);
/// The text after the first '.'; empty when there is none.
VANTREL_EXPORT std::string GetFractionalPart(const std::string& S);

// ---------------------------------------------------------------------------
// Registry (dyxsubs/registry.cpp)
// ---------------------------------------------------------------------------

// The root keys for the RootKey argument, with their Windows values:
// vantrel::HKEY_CURRENT_USER, or HKEY_CURRENT_USER after `using namespace
// vantrel;`. HKEY_CLASSES_ROOT is HKEY_LOCAL_MACHINE\Software\Classes.
using win32::HKEY_CLASSES_ROOT;
using win32::HKEY_CURRENT_USER;
using win32::HKEY_LOCAL_MACHINE;
using win32::HKEY_USERS;

// Each routine works on a key of its own, opened and closed within the call,
// and reports every failure by its result alone.

/// The text of the REG_SZ or REG_EXPAND_SZ (unexpanded) value Name of Key
/// under RootKey; empty when the key or value is missing or of another type.
/// An empty Key names the root key, an empty Name the key's default value.
VANTREL_EXPORT std::string GetRegistryValue(uint32_t RootKey, const std::string& Key, const std::string& Name);
/// The REG_DWORD value Name of Key as a signed integer; -9999 when the key
/// or value is missing or of another type (a stored -9999 reads the same).
VANTREL_EXPORT int32_t GetRegistryValueInt(uint32_t RootKey, const std::string& Key, const std::string& Name);
/// Stores Value as the REG_SZ value Name of Key, replacing a value of any
/// type. With CanCreate a missing Key is created with every missing key
/// above it; without it only an existing Key is written. True when written.
VANTREL_EXPORT bool WriteRegistryValue(uint32_t RootKey, const std::string& Key, const std::string& Name,
                                       const std::string& Value, bool CanCreate);
/// As WriteRegistryValue, storing Value as a REG_DWORD.
VANTREL_EXPORT bool WriteRegistryValueInt(uint32_t RootKey, const std::string& Key, const std::string& Name,
                                          int32_t Value, bool CanCreate);
/// Deletes Key with its subkeys and values. True when the key is gone,
/// including when it did not exist; false when it could not be deleted (a
/// root key, an empty Key, a refused or failed deletion).
VANTREL_EXPORT bool DeleteRegistryKey(uint32_t RootKey, const std::string& Key);
/// Adds MenuName to the shell's context menu of every file and folder,
/// running CommandLine: the default values of
/// HKEY_CLASSES_ROOT\AllFilesystemObjects\Shell\<MenuName> (MenuName) and of
/// its subkey Command (CommandLine), created when missing. Results are not
/// reported; a MenuName that is empty or holds a backslash writes nothing.
VANTREL_EXPORT void CreateAllFileObjectMenu(const std::string& MenuName, const std::string& CommandLine);

// ---------------------------------------------------------------------------
// Dates and times (dyxsubs/datetime.cpp)
// ---------------------------------------------------------------------------

/// The present local moment as 17 digits "yyyymmddhhmmsszzz".
VANTREL_EXPORT std::string GenerateTimeStamp();
/// The moment as "yyyy-mm-dd hh:mm:ss" (colons: the process-wide time
/// separator); empty outside the years 1 to 9999.
VANTREL_EXPORT std::string MyDateTimeToStr(TDateTime DateTime);
/// The date as "yyyy-mm-dd"; empty outside the years 1 to 9999.
VANTREL_EXPORT std::string MyDateToStr(TDateTime DateTime);
/// Reads "yyyy-mm-dd hh:mm:ss" and its shorter forms; 0.0 when S does not convert.
VANTREL_EXPORT TDateTime MyStrToDateTime(const std::string& S);
/// True when MyStrToDateTime converts S.
VANTREL_EXPORT bool IsMyDateTime(const std::string& S);
/// Seconds as "hh:mm:ss", two digits each (hours keep their last two digits).
VANTREL_EXPORT std::string GetMyTimeFormat(uint32_t Seconds);
/// Whole seconds from DateTime to now (negative for a future moment),
/// clamped to the 32-bit range.
VANTREL_EXPORT int32_t SecondsFromNow(TDateTime DateTime);

// ---------------------------------------------------------------------------
// Window message (dyxsubs/message.cpp)
// ---------------------------------------------------------------------------

/// Sends Data to the window Wnd as a WM_COPYDATA message with WParam and the
/// tag Tag, and waits until the window has handled it. The block holds
/// Data's length + 1 bytes: Data up to its first NUL, then zeros. Nothing is
/// reported: an unknown window, one that ignores the message and every
/// failure are silent.
VANTREL_EXPORT void SendPcoessData(win32::HWND Wnd, uint32_t WParam, const std::string& Data, uint32_t Tag);

// ---------------------------------------------------------------------------
// System information (dyxsubs/system.cpp)
// ---------------------------------------------------------------------------

/// One setting of the user's locale (a LOCALE_S* selector, flags allowed),
/// trimmed; '' when the selector is unknown or the text needs more than 31
/// characters.
VANTREL_EXPORT std::string MyGetUserLocaleInfo(uint32_t LCType);
/// The user's country abbreviation, ";" and the English name of the
/// language ("USA;English"); the ";" stays when a part is empty.
VANTREL_EXPORT std::string MyGetUserLocaleString();
/// The serial number of the volume whose root is RootPath ("C:", with the
/// backslash) as 8 upper-case hexadecimal digits; '' when there is none.
VANTREL_EXPORT std::string GetHardDiskVolumeSN(const std::string& RootPath);
/// The Windows name of the system's version ("WinXP", else "Win " and
/// major.minor); with Detailed, followed by ",Ver " major.minor and
/// ",Build " and the build number.
VANTREL_EXPORT std::string MyGetOSVersion(bool Detailed);

// HTTP download (dyxsubs/http.cpp)

/// Downloads URL (http or https only, redirects followed) into Content as
/// bytes. Content is emptied first and stays empty on failure. Returns ''
/// on success, else the error's text: the status line for a status of 400
/// or more.
VANTREL_EXPORT std::string GetHttpFile(std::string& Content, const std::string& URL);

} // namespace vantrel
