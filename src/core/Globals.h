#pragma once

#include <memory>

class AttendanceDatabase;

// The one shared variable: the connection every window uses, from start-up until the main
// window is asked to close.
namespace Globals {

// Creates the connection object (not yet open), replacing any earlier one.
AttendanceDatabase& createConnection();
// The connection; throws std::runtime_error once it has been released (or before it exists).
AttendanceDatabase& connection();
bool hasConnection();
void releaseConnection();

} // namespace Globals
