# The benchmarks the Win32 presets build, beside Tessaly.exe and its DLLs so they run as
# they are: the bare loop's stages against the FreeImage and libwebp each program uses,
# and the worker start with that program as the worker. bench_builds (native) runs them.

# Winelib links the host's FreeImage and libwebp, as Tessaly.exe.so does; MinGW links
# FreeImage.dll (through the import library its own build made, which names every
# export) and the prefix's static libwebp, as Tessaly.exe does.
if(TESSALY_PLATFORM STREQUAL "wine")
  set(LOOP_LIBS freeimage webp)
  set(LOOP_INCLUDES "")
elseif(WEBP_STATIC AND EXISTS "${TESSALY_MINGW_DEPS}/lib/libFreeImage.dll.a")
  set(LOOP_LIBS "${TESSALY_MINGW_DEPS}/lib/libFreeImage.dll.a" ${WEBP_STATIC})
  set(LOOP_INCLUDES ${FREEIMAGE_HEADER_DIR} "${TESSALY_MINGW_DEPS}/include")
else()
  message(STATUS "bench_freeimage_loop.exe: no FreeImage.dll and libwebp in TESSALY_MINGW_DEPS; not built")
endif()

if(LOOP_LIBS)
  add_executable(bench_freeimage_loop bench_freeimage_loop.cpp thread_clock_win32.cpp)
  target_include_directories(bench_freeimage_loop PRIVATE ${CMAKE_SOURCE_DIR})
  target_include_directories(bench_freeimage_loop SYSTEM PRIVATE ${LOOP_INCLUDES})
  target_link_libraries(bench_freeimage_loop PRIVATE ${LOOP_LIBS})
  target_link_options(bench_freeimage_loop PRIVATE -mconsole)
  set_target_properties(bench_freeimage_loop PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
endif()

add_executable(bench_worker_start bench_worker_start.cpp ${WIN32_UI_PORT})
target_link_libraries(bench_worker_start PRIVATE tessaly_core)
target_link_options(bench_worker_start PRIVATE -mconsole)
set_target_properties(bench_worker_start PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

if(TESSALY_PLATFORM STREQUAL "windows")
  foreach(target bench_freeimage_loop bench_worker_start)
    if(TARGET ${target})
      target_link_options(${target} PRIVATE -static)
    endif()
  endforeach()
endif()
