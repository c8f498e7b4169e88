# The exports of the totals go to the same recording spreadsheet as the reports window's.
target_sources(test_hours PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/exports/RecordingSpreadsheet.cpp)
# The workbook is read back by a reader of its own, in Python.
target_compile_definitions(test_hours PRIVATE
                           TALLYCLOCK_WORKBOOK_READER="${CMAKE_CURRENT_SOURCE_DIR}/hours/read-workbook.py")
