# The real-office tests read the sheets back over UNO through the office module; the program itself
# must not link the office, which a test checks on the built program.
if(TARGET tallyclock-office)
    target_link_libraries(test_exports PRIVATE tallyclock-office)
    if(TALLYCLOCK_SANITIZE)
        # See cmake/Uno.cmake: UNO proxies carry no type information for the vptr check.
        set_source_files_properties(${CMAKE_CURRENT_SOURCE_DIR}/exports/OfficeProbe.cpp
                                    PROPERTIES COMPILE_OPTIONS -fno-sanitize=vptr)
    endif()
endif()
add_dependencies(test_exports tallyclock-suite)
