# The audit window's spreadsheet export goes to the reports tests' recording spreadsheet.
target_sources(test_corrections PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/exports/RecordingSpreadsheet.cpp)
