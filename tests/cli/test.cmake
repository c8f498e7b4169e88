# The program itself, started without a display.
add_dependencies(test_${area} tallyclock-suite)
# The README's worked example is checked against the command line's output.
target_compile_definitions(test_${area} PRIVATE TALLYCLOCK_README="${CMAKE_SOURCE_DIR}/README.md")
