# Punch terminals started beside the test, as the concurrency tests start them.
target_sources(test_${area} PRIVATE ${CMAKE_SOURCE_DIR}/bench/Terminals.cpp)
target_include_directories(test_${area} PRIVATE ${CMAKE_SOURCE_DIR}/bench)
add_dependencies(test_${area} tallyclock-punch-terminal tallyclock-suite)
# It stops and starts the shared server: nothing else may run meanwhile.
set_tests_properties(${area} PROPERTIES RUN_SERIAL TRUE)
# The network between terminals and server that a test cuts.
find_package(Qt6 REQUIRED COMPONENTS Network)
target_link_libraries(test_${area} PRIVATE Qt6::Network)
