# The Win32 program: wine (Winelib) and windows (MinGW) builds share these sources.
#
#   wine     wineg++, host libfreeimage.so; Tessaly.exe.so plus its launcher script
#   windows  MinGW-w64 (posix threads), FreeImage.dll through an import library made
#            from cmake/FreeImage.def; everything else linked statically

set(TESSALY_WIN32_LIBS user32 gdi32 comctl32 comdlg32 shell32 shlwapi ole32 oleaut32 advapi32 uuid)

# The exported routines are kept out of every library: nothing in the program calls
# them, so a library member holding them would never be linked and their exports would
# vanish.
set(WIN32_EXPORTS ${CMAKE_SOURCE_DIR}/base/exports_win32.cpp)
get_target_property(base_sources tessaly_base SOURCES)
list(REMOVE_ITEM base_sources ${WIN32_EXPORTS})
set_property(TARGET tessaly_base PROPERTY SOURCES ${base_sources})
target_link_libraries(tessaly_base PUBLIC ${TESSALY_WIN32_LIBS})

if(TESSALY_PLATFORM STREQUAL "wine")
  # wineg++ already searches /usr/include (after Wine's own headers) and the host's
  # library folders; CMake's find_library does not know winegcc's architecture folder,
  # so the host library is named directly. The core's std::mutex runs on host threads.
  # libwebp is the host's as well; engine/codecs/webp_encoder.cpp reads its header as the
  # bridge reads FreeImage.h.
  target_link_libraries(tessaly_codecs PUBLIC freeimage webp heif jxl lcms2 tiff)
  target_compile_definitions(tessaly_codecs PRIVATE TESSALY_LIBHEIF TESSALY_LIBJXL TESSALY_LCMS2 TESSALY_LIBTIFF)
  target_link_libraries(tessaly_base PUBLIC pthread)
  target_compile_definitions(tessaly_codecs PRIVATE TESSALY_LIBWEBP)
  # Winelib takes the export table from a .def file, not from dllexport attributes.
  set(TESSALY_EXPORT_DEF ${CMAKE_SOURCE_DIR}/cmake/Tessaly.def)
else()
  # The MinGW prefix that scripts/build-freeimage.sh fills and caches: bin/FreeImage.dll,
  # the static codec libraries under lib/ and their headers under include/.
  if(DEFINED ENV{TESSALY_CACHE})
    set(TESSALY_CACHE_DIR "$ENV{TESSALY_CACHE}")
  elseif(DEFINED ENV{XDG_CACHE_HOME})
    set(TESSALY_CACHE_DIR "$ENV{XDG_CACHE_HOME}/tessaly")
  else()
    set(TESSALY_CACHE_DIR "$ENV{HOME}/.cache/tessaly")
  endif()
  set(TESSALY_MINGW_DEPS "${TESSALY_CACHE_DIR}/mingw-deps/current" CACHE PATH
    "MinGW prefix of FreeImage.dll and the static codec libraries (scripts/build-freeimage.sh)")
  # MinGW must not see /usr/include (glibc headers would take over the Windows
  # compile): a folder holding only FreeImage.h stands in for it. The header that came
  # with the DLL is preferred; Debian's is the same release.
  set(FREEIMAGE_HEADER_DIR ${CMAKE_BINARY_DIR}/freeimage-include)
  if(EXISTS ${TESSALY_MINGW_DEPS}/include/FreeImage.h)
    file(COPY ${TESSALY_MINGW_DEPS}/include/FreeImage.h DESTINATION ${FREEIMAGE_HEADER_DIR})
  else()
    file(COPY /usr/include/FreeImage.h DESTINATION ${FREEIMAGE_HEADER_DIR})
  endif()
  set(FREEIMAGE_IMPORT_LIB ${CMAKE_BINARY_DIR}/libFreeImage.dll.a)
  add_custom_command(
    OUTPUT ${FREEIMAGE_IMPORT_LIB}
    COMMAND x86_64-w64-mingw32-dlltool -d ${CMAKE_SOURCE_DIR}/cmake/FreeImage.def -l ${FREEIMAGE_IMPORT_LIB}
    DEPENDS ${CMAKE_SOURCE_DIR}/cmake/FreeImage.def
    COMMENT "Import library for FreeImage.dll")
  add_custom_target(freeimage_import DEPENDS ${FREEIMAGE_IMPORT_LIB})
  add_dependencies(tessaly_codecs freeimage_import)
  target_include_directories(tessaly_codecs SYSTEM PRIVATE ${FREEIMAGE_HEADER_DIR})
  target_link_libraries(tessaly_codecs PUBLIC ${FREEIMAGE_IMPORT_LIB})
  # The prefix's libwebp writes WEBP at its default effort; without it FreeImage.dll's
  # slower writer does.
  if(TESSALY_MINGW_DEPS AND EXISTS "${TESSALY_MINGW_DEPS}/include/webp/encode.h"
     AND EXISTS "${TESSALY_MINGW_DEPS}/lib/libwebp.a")
    target_include_directories(tessaly_codecs SYSTEM PRIVATE "${TESSALY_MINGW_DEPS}/include")
    set(WEBP_STATIC "${TESSALY_MINGW_DEPS}/lib/libwebp.a")
    # Newer libwebp keeps its CPU-feature code in libsharpyuv, which libwebp needs.
    if(EXISTS "${TESSALY_MINGW_DEPS}/lib/libsharpyuv.a")
      list(APPEND WEBP_STATIC "${TESSALY_MINGW_DEPS}/lib/libsharpyuv.a")
    endif()
    target_link_libraries(tessaly_codecs PUBLIC ${WEBP_STATIC})
    target_compile_definitions(tessaly_codecs PRIVATE TESSALY_LIBWEBP)
    message(STATUS "WEBP: libwebp from ${TESSALY_MINGW_DEPS}")
  else()
    message(STATUS "WEBP: no libwebp in TESSALY_MINGW_DEPS ('${TESSALY_MINGW_DEPS}'); "
                   "FreeImage.dll's writer encodes WEBP (its slowest method)")
  endif()
  # HEIF and AVIF through libheif.dll (libde265.dll beside it), JPEG XL through libjxl and
  # colour profiles through lcms2, TIFF layouts FreeImage.dll cannot read through libtiff, linked in: the prefix scripts/build-codecs.sh fills.
  set(TESSALY_MINGW_CODECS "${TESSALY_CACHE_DIR}/mingw-codecs/current" CACHE PATH
    "MinGW prefix of libheif.dll, libde265.dll and the static libjxl and lcms2 (scripts/build-codecs.sh)")
  set(CODEC_LIBS libheif.dll.a libjxl_threads.a libjxl.a libhwy.a libbrotlienc.a libbrotlidec.a libbrotlicommon.a
      liblcms2.a libtiff.a libjpeg.a libz.a)
  set(CODEC_PATHS)
  foreach(library ${CODEC_LIBS})
    list(APPEND CODEC_PATHS "${TESSALY_MINGW_CODECS}/lib/${library}")
  endforeach()
  list(GET CODEC_PATHS 0 first_codec)
  if(EXISTS "${first_codec}" AND EXISTS "${TESSALY_MINGW_CODECS}/include/libheif/heif.h")
    target_include_directories(tessaly_codecs SYSTEM PRIVATE "${TESSALY_MINGW_CODECS}/include")
    target_compile_definitions(tessaly_codecs PRIVATE TESSALY_LIBHEIF TESSALY_LIBJXL TESSALY_LCMS2
                               TESSALY_LIBTIFF JXL_STATIC_DEFINE JXL_THREADS_STATIC_DEFINE)
    target_link_libraries(tessaly_codecs PUBLIC ${CODEC_PATHS})
    message(STATUS "HEIF, AVIF, JPEG XL: from ${TESSALY_MINGW_CODECS}")
  else()
    message(STATUS "HEIF, AVIF, JPEG XL: no codecs in TESSALY_MINGW_CODECS ('${TESSALY_MINGW_CODECS}'); "
                   "the program reads and writes none of them")
  endif()
endif()

# The program: its entry, the window's objects and its resources (icons, logo, manifest).
set(APP_SOURCES app/main_win32.cpp $<TARGET_OBJECTS:tessaly_ui>)
file(GLOB APP_RESOURCES CONFIGURE_DEPENDS resources/*.rc)
if(APP_RESOURCES)
  enable_language(RC)
  if(TESSALY_PLATFORM STREQUAL "windows")
    # The resource scripts are UTF-8 (Russian texts).
    set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 65001")
  endif()
endif()
if(APP_RESOURCES AND TESSALY_PLATFORM STREQUAL "wine")
  # wrc reverses the order of an icon group's images, windres keeps it: the wine build
  # compiles copies whose icon files are reversed beforehand (cmake/wrc_resources.pl), so
  # that both programs carry the same groups and LoadImageW picks the same image.
  set(WRC_DIR ${CMAKE_BINARY_DIR}/wrc-resources)
  file(GLOB RESOURCE_INPUTS CONFIGURE_DEPENDS
    resources/*.rc resources/*.ico resources/*.bmp resources/*.manifest)
  list(TRANSFORM RESOURCE_INPUTS REPLACE "^.*/" "${WRC_DIR}/" OUTPUT_VARIABLE WRC_OUTPUTS)
  add_custom_command(OUTPUT ${WRC_OUTPUTS}
    COMMAND perl ${CMAKE_SOURCE_DIR}/cmake/wrc_resources.pl ${WRC_DIR} ${RESOURCE_INPUTS}
    DEPENDS ${RESOURCE_INPUTS} ${CMAKE_SOURCE_DIR}/cmake/wrc_resources.pl
    COMMENT "Resources for wrc" VERBATIM)
  list(TRANSFORM APP_RESOURCES REPLACE "^.*/" "${WRC_DIR}/")
  set_source_files_properties(${APP_RESOURCES} PROPERTIES OBJECT_DEPENDS "${WRC_OUTPUTS}")
endif()
add_executable(Tessaly WIN32 ${APP_SOURCES} ${WIN32_EXPORTS} ${APP_RESOURCES})
target_link_libraries(Tessaly PRIVATE tessaly_core)
target_include_directories(Tessaly PRIVATE ${CMAKE_SOURCE_DIR})
target_link_options(Tessaly PRIVATE -municode -mwindows)
if(TESSALY_PLATFORM STREQUAL "wine")
  target_link_options(Tessaly PRIVATE ${TESSALY_EXPORT_DEF})
  set_property(TARGET Tessaly APPEND PROPERTY LINK_DEPENDS ${TESSALY_EXPORT_DEF})
else()
  target_link_options(Tessaly PRIVATE -static)
  # With the DLL beside it, build/windows/Tessaly.exe runs as it is.
  if(EXISTS ${TESSALY_MINGW_DEPS}/bin/FreeImage.dll)
    add_custom_command(TARGET Tessaly POST_BUILD
      COMMAND ${CMAKE_COMMAND} -E copy_if_different ${TESSALY_MINGW_DEPS}/bin/FreeImage.dll $<TARGET_FILE_DIR:Tessaly>)
  endif()
  foreach(dll libheif.dll libde265.dll)
    if(EXISTS ${TESSALY_MINGW_CODECS}/bin/${dll})
      add_custom_command(TARGET Tessaly POST_BUILD
        COMMAND ${CMAKE_COMMAND} -E copy_if_different ${TESSALY_MINGW_CODECS}/bin/${dll} $<TARGET_FILE_DIR:Tessaly>)
    endif()
  endforeach()
endif()

# Programs without the window still need the port's Win32 form, which speaks to no
# window while there is none.
set(WIN32_UI_PORT ${CMAKE_SOURCE_DIR}/ui/ui_port_win32.cpp)

# Checks that only the Win32 side can make (message boxes, files through the Win32
# calls, the exported routines), run under Wine by scripts/test-win32.sh: built by both
# compilers, since MinGW's runtime and Winelib's may not behave alike.
file(GLOB WIN32_TEST_SOURCES CONFIGURE_DEPENDS tests/win32/*.cpp)
if(WIN32_TEST_SOURCES)
  add_executable(tessaly_win32_tests ${WIN32_TEST_SOURCES} ${CMAKE_SOURCE_DIR}/tests/sample_images.cpp
    ${WIN32_EXPORTS} ${WIN32_UI_PORT})
  if(FREEIMAGE_HEADER_DIR)
    target_include_directories(tessaly_win32_tests SYSTEM PRIVATE ${FREEIMAGE_HEADER_DIR})
  endif()
  target_link_libraries(tessaly_win32_tests PRIVATE tessaly_core)
  # Both builds' checks run under Wine on this machine and read the test pictures through Z:.
  target_compile_definitions(tessaly_win32_tests PRIVATE TESSALY_TEST_DATA="${CMAKE_SOURCE_DIR}/tests/data")
  if(TESSALY_PLATFORM STREQUAL "wine")
    target_link_options(tessaly_win32_tests PRIVATE -mconsole ${TESSALY_EXPORT_DEF})
    set_property(TARGET tessaly_win32_tests APPEND PROPERTY LINK_DEPENDS ${TESSALY_EXPORT_DEF})
  else()
    target_link_options(tessaly_win32_tests PRIVATE -mconsole -static)
  endif()
endif()

# The window's file list under a folder of many files; a benchmark, never run by the tests.
if(TESSALY_PLATFORM STREQUAL "wine")
  add_executable(bench_add_files_win32 bench/bench_add_files_win32.cpp ${WIN32_UI_PORT})
  target_link_libraries(bench_add_files_win32 PRIVATE tessaly_core)
  target_link_options(bench_add_files_win32 PRIVATE -municode -mconsole)
endif()

# The end-to-end driver, run under Wine and Xvfb by scripts/test-e2e.sh.
if(TESSALY_PLATFORM STREQUAL "wine" AND EXISTS ${CMAKE_SOURCE_DIR}/tests/e2e/CMakeLists.txt)
  add_subdirectory(tests/e2e)
endif()

# The benchmarks that measure the Win32 programs under Wine (bench/win32.cmake).
if(EXISTS ${CMAKE_SOURCE_DIR}/bench/CMakeLists.txt)
  add_subdirectory(bench)
endif()
