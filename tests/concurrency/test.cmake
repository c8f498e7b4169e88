# The punch terminals it starts beside itself, and the code that runs them (shared with the benchmark).
target_sources(test_${area} PRIVATE ${CMAKE_SOURCE_DIR}/bench/Terminals.cpp)
target_include_directories(test_${area} PRIVATE ${CMAKE_SOURCE_DIR}/bench)
add_dependencies(test_${area} tallyclock-punch-terminal)
# It restarts the shared server: nothing else may run meanwhile.
set_tests_properties(${area} PROPERTIES RUN_SERIAL TRUE)
