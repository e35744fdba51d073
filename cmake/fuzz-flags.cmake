# Every layer of the fuzz build carries AddressSanitizer and UndefinedBehaviorSanitizer.
set(SANITIZERS -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
add_compile_options(${SANITIZERS} -fsanitize=fuzzer-no-link)
