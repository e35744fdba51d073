# Native Linux build: the layers on their POSIX ports, tessaly-batch, unit tests, benchmarks.
find_library(FREEIMAGE_LIBRARY NAMES freeimage REQUIRED)
find_path(FREEIMAGE_INCLUDE_DIR FreeImage.h REQUIRED)
find_package(Threads REQUIRED)
# The codecs are the one layer that sees the image libraries' headers.
target_include_directories(tessaly_codecs PRIVATE ${FREEIMAGE_INCLUDE_DIR})
target_link_libraries(tessaly_codecs PUBLIC ${FREEIMAGE_LIBRARY})
target_link_libraries(tessaly_base PUBLIC Threads::Threads)
# WEBP is written through libwebp itself (engine/codecs/webp_encoder.cpp).
find_library(WEBP_LIBRARY NAMES webp REQUIRED)
find_path(WEBP_INCLUDE_DIR webp/encode.h REQUIRED)
target_include_directories(tessaly_codecs PRIVATE ${WEBP_INCLUDE_DIR})
target_link_libraries(tessaly_codecs PUBLIC ${WEBP_LIBRARY})
target_compile_definitions(tessaly_codecs PRIVATE TESSALY_LIBWEBP)
# HEIF and AVIF through libheif (libde265, dav1d and aom inside it), JPEG XL through libjxl,
# colour profiles through lcms2, the TIFF sample layouts FreeImage cannot read through libtiff.
find_package(PkgConfig REQUIRED)
pkg_check_modules(CODECS REQUIRED IMPORTED_TARGET libheif libjxl lcms2 libtiff-4)
target_link_libraries(tessaly_codecs PUBLIC PkgConfig::CODECS)
target_compile_definitions(tessaly_codecs PRIVATE TESSALY_LIBHEIF TESSALY_LIBJXL TESSALY_LCMS2 TESSALY_LIBTIFF)

# tessaly-batch: its entry and the console forms of the message box and labels.
file(GLOB CONSOLE_PORTS CONFIGURE_DEPENDS app/*_console.cpp)
add_executable(tessaly-batch app/batch_main.cpp ${CONSOLE_PORTS})
target_link_libraries(tessaly-batch PRIVATE tessaly_core)

enable_testing()
find_package(GTest REQUIRED)
# Tests link the layers with test doubles of the message box and labels (tests/fake_*.cpp).
file(GLOB TEST_SOURCES CONFIGURE_DEPENDS tests/test_*.cpp tests/fake_*.cpp tests/sample_images.cpp)
add_executable(tessaly_tests ${TEST_SOURCES} $<TARGET_OBJECTS:tessaly_ui>)
target_link_libraries(tessaly_tests PRIVATE tessaly_core GTest::gtest_main)
# The test pictures are drawn with FreeImage itself (tests/sample_images.cpp).
target_include_directories(tessaly_tests PRIVATE ${FREEIMAGE_INCLUDE_DIR})
# The worker tests start tessaly-batch as the worker process.
target_compile_definitions(tessaly_tests PRIVATE TESSALY_TEST_DATA="${CMAKE_SOURCE_DIR}/tests/data"
                                                 TESSALY_BATCH_PROGRAM="$<TARGET_FILE:tessaly-batch>")
add_dependencies(tessaly_tests tessaly-batch)
include(GoogleTest)
gtest_discover_tests(tessaly_tests DISCOVERY_TIMEOUT 60)

if(EXISTS ${CMAKE_SOURCE_DIR}/bench/CMakeLists.txt)
  add_subdirectory(bench)
endif()
