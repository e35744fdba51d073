# libFuzzer targets (clang, AddressSanitizer, UndefinedBehaviorSanitizer) over the code
# that takes outside bytes: the settings file, command-line and hand-over text, names,
# the EXIF mender, the worker's messages. scripts/fuzz.sh runs them.
find_library(FREEIMAGE_LIBRARY NAMES freeimage REQUIRED)
find_path(FREEIMAGE_INCLUDE_DIR FreeImage.h REQUIRED)
find_package(Threads REQUIRED)
set(SANITIZERS -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
target_compile_options(tessaly_core PUBLIC ${SANITIZERS} -fsanitize=fuzzer-no-link)
target_include_directories(tessaly_core PUBLIC ${FREEIMAGE_INCLUDE_DIR})
target_link_libraries(tessaly_core PUBLIC ${FREEIMAGE_LIBRARY} Threads::Threads)
file(GLOB NATIVE_PORTS CONFIGURE_DEPENDS
  diag/*_posix.cpp engine/*_posix.cpp input/*_posix.cpp input/*_memory.cpp
  diag/*_console.cpp engine/*_console.cpp)
target_sources(tessaly_core PRIVATE ${NATIVE_PORTS} app/batch_options.cpp)

file(GLOB FUZZ_TARGETS CONFIGURE_DEPENDS tests/fuzz/fuzz_*.cpp)
foreach(source ${FUZZ_TARGETS})
  get_filename_component(name ${source} NAME_WE)
  add_executable(${name} ${source})
  target_link_libraries(${name} PRIVATE tessaly_core)
  target_link_options(${name} PRIVATE ${SANITIZERS} -fsanitize=fuzzer)
endforeach()
