# The exports of the totals go to the same recording spreadsheet as the reports window's.
target_sources(test_hours PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/exports/RecordingSpreadsheet.cpp)
