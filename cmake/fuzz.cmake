# libFuzzer targets (clang, AddressSanitizer, UndefinedBehaviorSanitizer) over the code
# that takes outside bytes: the settings file, command-line and hand-over text, names,
# the EXIF mender, the worker's messages, the record of what is done (Converted.dat), TIFFs
# read through libtiff. scripts/fuzz.sh runs them.
find_library(FREEIMAGE_LIBRARY NAMES freeimage REQUIRED)
find_path(FREEIMAGE_INCLUDE_DIR FreeImage.h REQUIRED)
find_package(Threads REQUIRED)
target_include_directories(tessaly_codecs PRIVATE ${FREEIMAGE_INCLUDE_DIR})
target_link_libraries(tessaly_codecs PUBLIC ${FREEIMAGE_LIBRARY})
target_link_libraries(tessaly_base PUBLIC Threads::Threads)
file(GLOB CONSOLE_PORTS CONFIGURE_DEPENDS app/*_console.cpp)
# The TIFF layouts read through libtiff, and CMYK through lcms2: the program's code over
# them is instrumented, the libraries are Debian's.
find_package(PkgConfig REQUIRED)
pkg_check_modules(FUZZ_CODECS REQUIRED IMPORTED_TARGET libtiff-4 lcms2)
target_link_libraries(tessaly_codecs PUBLIC PkgConfig::FUZZ_CODECS)
target_compile_definitions(tessaly_codecs PRIVATE TESSALY_LIBTIFF TESSALY_LCMS2)

file(GLOB FUZZ_TARGETS CONFIGURE_DEPENDS tests/fuzz/fuzz_*.cpp)
foreach(source ${FUZZ_TARGETS})
  get_filename_component(name ${source} NAME_WE)
  add_executable(${name} ${source} ${CONSOLE_PORTS})
  target_link_libraries(${name} PRIVATE tessaly_core)
  target_include_directories(${name} PRIVATE ${FREEIMAGE_INCLUDE_DIR})
  target_link_options(${name} PRIVATE ${SANITIZERS} -fsanitize=fuzzer)
endforeach()
