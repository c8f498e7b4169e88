#include "core/Globals.h"

#include "data/AttendanceDatabase.h"

#include <stdexcept>

namespace Globals {

namespace {
std::unique_ptr<AttendanceDatabase>& slot() {
    static std::unique_ptr<AttendanceDatabase> connection;
    return connection;
}
} // namespace

AttendanceDatabase& createConnection() {
    slot() = std::make_unique<AttendanceDatabase>();
    return *slot();
}

AttendanceDatabase& connection() {
    if (!slot())
        throw std::runtime_error("The attendance database connection does not exist.");
    return *slot();
}

bool hasConnection() {
    return slot() != nullptr;
}

void releaseConnection() {
    slot().reset();
}

} // namespace Globals
