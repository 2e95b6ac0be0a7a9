#pragma once
// Names and addresses the program shows, sends and opens.
#include <QLatin1String>

namespace ProductInfo {
inline constexpr QLatin1String ProductName("Cubiform");
inline constexpr QLatin1String Version("1.2");
inline constexpr QLatin1String Caption("Cubiform Classic version 1.2 (Freeware)");
inline constexpr QLatin1String SupportMail("support@cubiform.example.com");
// No trailing separator: paths are appended with "/".
inline constexpr QLatin1String WebSite("https://www.cubiform.example.com");
// The settings key; SettingsStore maps it onto the platform's store.
inline constexpr QLatin1String RegistryKey("\\Software\\Tralen\\Cubiform\\");
} // namespace ProductInfo
