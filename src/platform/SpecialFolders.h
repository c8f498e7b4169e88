#pragma once

#include <QString>

// The shell's special folders. Only CSIDL 35 (the folder every user of the computer shares) is
// known: $TALLYCLOCK_COMMON_APPDATA when set and not empty, otherwise /var/lib. Other ids give "".
namespace SpecialFolders {

constexpr int CommonAppData = 35;

QString path(int csidl);

} // namespace SpecialFolders
