# The sign-in tests run on both engines through the catalogue tests' database fixture.
target_sources(test_credentials PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/data/TestDatabase.cpp)
target_include_directories(test_credentials PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/data)
