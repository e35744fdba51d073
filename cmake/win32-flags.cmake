# Both Win32 compilers must see the same Windows in every layer: wide-character APIs, no
# min/max macros.
add_compile_definitions(UNICODE _UNICODE NOMINMAX _WIN32_WINNT=0x0601 _WIN32_IE=0x0800 WINVER=0x0601)
if(TESSALY_PLATFORM STREQUAL "wine")
  # The program is a shared object, so thread_local goes through __tls_get_addr. GCC
  # emits that call inside WINAPI/CALLBACK (ms_abi) functions as if it kept rdi and rsi,
  # which the System V routine does not: a window or timer procedure touching a
  # thread_local then writes through a stale register. TLS descriptors keep every
  # register, which makes thread_local safe everywhere.
  add_compile_options(-mtls-dialect=gnu2)
endif()
