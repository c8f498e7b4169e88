#pragma once

namespace Credentials {

// Hands the password hashing and the throttle's counting down to the data layer. Every program that
// opens a database calls it once at start.
void handToData();

} // namespace Credentials
