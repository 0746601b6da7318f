#pragma once
// The document mode the system's web browser control uses for this program's pages.

#include <windows.h>

#include <string>

// The key under HKEY_CURRENT_USER whose values, named after a program's file name, choose the
// control's document mode for that program.
inline constexpr wchar_t kBrowserEmulationKey[] =
    L"Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_BROWSER_EMULATION";
// The newest standards mode of the control, whatever a page's doctype asks for.
inline constexpr DWORD kNewestDocumentMode = 11001;

// Makes the value `programName` under `root`\`key` ask for at least `mode`: written as a DWORD only
// when it is missing, not a DWORD, or lower; no other value is touched. True when the value asks
// for at least `mode` afterwards; a refused write leaves everything as it was and gives false.
bool AskForDocumentMode(HKEY root, const std::wstring& key, const std::wstring& programName, DWORD mode);

// The running program's file name without its folder ("PictureTool.exe"); empty when unknown.
std::wstring ProgramFileName();
