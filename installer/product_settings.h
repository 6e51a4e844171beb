#pragma once
// The product's compiled-in addresses. Changing a product setting means
// rebuilding the installer; nothing here is read at run time.

namespace zevrino::desktop::installer {

// The vendor's home page, shown by Windows as the uninstall entry's
// "URLInfoAbout" link.
inline constexpr char kProductHomePageUrl[] = "https://www.zevrino.example/";

}  // namespace zevrino::desktop::installer
