# The server's role set-up as the README hands it out, run by the tests as it stands.
target_compile_definitions(test_data PRIVATE TALLYCLOCK_ROLES_SQL="${CMAKE_SOURCE_DIR}/resources/server-roles.sql")
