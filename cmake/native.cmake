# Native Linux build: the core on POSIX ports, tessaly-batch, unit tests, benchmarks.
find_library(FREEIMAGE_LIBRARY NAMES freeimage REQUIRED)
find_path(FREEIMAGE_INCLUDE_DIR FreeImage.h REQUIRED)
find_package(Threads REQUIRED)
target_include_directories(tessaly_core PUBLIC ${FREEIMAGE_INCLUDE_DIR})
target_link_libraries(tessaly_core PUBLIC ${FREEIMAGE_LIBRARY} Threads::Threads)
# WEBP is written through libwebp itself (engine/webp_encoder.cpp).
find_library(WEBP_LIBRARY NAMES webp REQUIRED)
find_path(WEBP_INCLUDE_DIR webp/encode.h REQUIRED)
target_include_directories(tessaly_core PRIVATE ${WEBP_INCLUDE_DIR})
target_link_libraries(tessaly_core PUBLIC ${WEBP_LIBRARY})
target_compile_definitions(tessaly_core PRIVATE TESSALY_LIBWEBP)

# The native side of the ports goes into the core library itself.
file(GLOB NATIVE_PORTS CONFIGURE_DEPENDS
  diag/*_posix.cpp settings/*_posix.cpp engine/*_posix.cpp input/*_posix.cpp
  diag/*_memory.cpp settings/*_memory.cpp engine/*_memory.cpp input/*_memory.cpp shell/*_memory.cpp)
target_sources(tessaly_core PRIVATE ${NATIVE_PORTS})

# tessaly-batch: app/batch_*.cpp and the console forms of the message box and labels.
# The console ports are objects of the program itself, not of a library: the core calls
# them, and a static library linked before the core is not searched again for them.
file(GLOB BATCH_SOURCES CONFIGURE_DEPENDS app/batch_*.cpp)
list(FILTER BATCH_SOURCES EXCLUDE REGEX "batch_main\\.cpp$")
file(GLOB CONSOLE_PORTS CONFIGURE_DEPENDS diag/*_console.cpp engine/*_console.cpp input/*_console.cpp)
add_library(tessaly_batch_lib STATIC ${BATCH_SOURCES})
target_link_libraries(tessaly_batch_lib PUBLIC tessaly_core)
add_executable(tessaly-batch app/batch_main.cpp ${CONSOLE_PORTS})
target_link_libraries(tessaly-batch PRIVATE tessaly_batch_lib tessaly_core)

enable_testing()
find_package(GTest REQUIRED)
# Tests link the core with test doubles of the message box and labels (tests/fake_*.cpp).
file(GLOB TEST_SOURCES CONFIGURE_DEPENDS tests/test_*.cpp tests/fake_*.cpp)
file(GLOB BATCH_TESTABLE CONFIGURE_DEPENDS app/batch_*.cpp)
list(FILTER BATCH_TESTABLE EXCLUDE REGEX "batch_main\\.cpp$")
add_executable(tessaly_tests ${TEST_SOURCES} ${BATCH_TESTABLE})
target_link_libraries(tessaly_tests PRIVATE tessaly_core GTest::gtest_main)
# The worker tests start tessaly-batch as the worker process.
target_compile_definitions(tessaly_tests PRIVATE TESSALY_TEST_DATA="${CMAKE_SOURCE_DIR}/tests/data"
                                                 TESSALY_BATCH_PROGRAM="$<TARGET_FILE:tessaly-batch>")
add_dependencies(tessaly_tests tessaly-batch)
include(GoogleTest)
gtest_discover_tests(tessaly_tests DISCOVERY_TIMEOUT 60)

if(EXISTS ${CMAKE_SOURCE_DIR}/bench/CMakeLists.txt)
  add_subdirectory(bench)
endif()
