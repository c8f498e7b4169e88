#pragma once

#include <QString>

// The "Login Difference" of a record: seconds when no minute boundary lies between the two times,
// otherwise whole minute boundaries; negative when the record closed after midnight. "" while the
// record is open. Throws std::runtime_error for a time text that cannot be read.
QString loginDifference(const QString& timeIn, const QString& timeOut);
