# Native Linux build: the core on POSIX ports, tessaly-batch, unit tests, benchmarks.
find_library(FREEIMAGE_LIBRARY NAMES freeimage REQUIRED)
find_path(FREEIMAGE_INCLUDE_DIR FreeImage.h REQUIRED)
target_include_directories(tessaly_core PUBLIC ${FREEIMAGE_INCLUDE_DIR})
find_package(Threads REQUIRED)

# The POSIX side of the ports goes into the core library itself.
target_sources(tessaly_core PRIVATE
  diag/filesys_posix.cpp
  diag/special_folder_posix.cpp
)
target_link_libraries(tessaly_core PUBLIC ${FREEIMAGE_LIBRARY} Threads::Threads)

add_executable(tessaly-batch
  app/batch_main.cpp
  app/startup.cpp
  app/batch_options.cpp
  diag/msgbox_console.cpp
)
target_link_libraries(tessaly-batch PRIVATE tessaly_core)

enable_testing()
find_package(GTest REQUIRED)
add_executable(tessaly_tests
  tests/test_settings.cpp
  tests/test_config_file.cpp
  tests/test_utils.cpp
  tests/test_error_log.cpp
  tests/test_formats.cpp
  tests/test_batch_options.cpp
  tests/fake_ui.cpp
  tests/test_support.cpp
  app/batch_options.cpp
  app/startup.cpp
)
target_link_libraries(tessaly_tests PRIVATE tessaly_core GTest::gtest_main)
include(GoogleTest)
gtest_discover_tests(tessaly_tests DISCOVERY_TIMEOUT 60)
