// Includes the header of a host library named by TESSALY_HOST_HEADER, for instance
//
//   #define TESSALY_HOST_HEADER <FreeImage.h>
//   #include "engine/codecs/host_header.h"
//
// Winelib's compiler defines the Windows macros, which would make such a header declare
// its functions for Windows (FreeImage.h with the Microsoft calling convention); the
// host library is built for Linux, so its header is read as on Linux. Included once per
// header, so no include guard.
#if defined(__WINE__)
#pragma push_macro("_WIN32")
#pragma push_macro("_WIN64")
#pragma push_macro("__WIN32__")
#undef _WIN32
#undef _WIN64
#undef __WIN32__
#include TESSALY_HOST_HEADER
#pragma pop_macro("__WIN32__")
#pragma pop_macro("_WIN64")
#pragma pop_macro("_WIN32")
#else
#include TESSALY_HOST_HEADER
#endif
#undef TESSALY_HOST_HEADER
