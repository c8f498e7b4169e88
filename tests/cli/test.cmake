# The program itself, started without a display.
add_dependencies(test_${area} tallyclock-suite)
