#pragma once
// The product's names and the vendor's addresses compiled into the installer, in
// one place so that every part of the program that names one uses the same value.

namespace zevrino::desktop::installer {

// The product as the version resources of the installer and of the
// installed Zevrino.exe name it.
constexpr char kProductName[] = "Zevrino";

// The application's program, at the top of its installation folder, in the
// form of each kind of path that names it.
constexpr char kApplicationFileName[] = "Zevrino.exe";
constexpr wchar_t kApplicationFileNameWide[] = L"Zevrino.exe";

// Where a user gets a fresh copy of the installer; opened after the
// corrupt-installer dialog.
constexpr wchar_t kVendorDownloadPageUrl[] = L"https://www.zevrino.com/download";

// The full installer itself; the browser fallback of a failed web install
// opens it when the web installer has not named an address of its own.
constexpr wchar_t kVendorFullInstallerUrl[] =
    L"https://download.zevrino.com/desktop/ZevrinoSetup.exe";

// The vendor's home page, shown by Windows as the uninstall entry's
// "URLInfoAbout" link.
constexpr char kProductHomePageUrl[] = "https://www.zevrino.com/";

}  // namespace zevrino::desktop::installer
