# Winelib: the Win32 program compiled on Linux, run under Wine.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER winegcc)
set(CMAKE_CXX_COMPILER wineg++)
set(CMAKE_RC_COMPILER wrc)
set(CMAKE_EXECUTABLE_SUFFIX_CXX .exe)
set(CMAKE_EXECUTABLE_SUFFIX_C .exe)
# CMake would hand wrc the MSVC-style /fo.
set(CMAKE_RC_COMPILE_OBJECT "<CMAKE_RC_COMPILER> <DEFINES> <INCLUDES> <FLAGS> -o <OBJECT> <SOURCE>")
set(TESSALY_PLATFORM wine)
