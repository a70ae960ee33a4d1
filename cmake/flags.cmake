# One list of flags for the library, the program and the tests.
function(kelmora_flags target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
    -Wnon-virtual-dtor -Wold-style-cast -Wimplicit-fallthrough)
  if(WIN32)
    target_compile_definitions(${target} PRIVATE
      _WIN32_WINNT=0x0601 WINVER=0x0601 NOMINMAX WIN32_LEAN_AND_MEAN)
    # A self-contained executable: no MinGW runtime DLLs beside it.
    target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
  endif()
  if(KELMORA_SANITIZE)
    target_compile_options(${target} PRIVATE
      -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
  if(KELMORA_FUZZ)
    # Coverage for the fuzzer in every library; the fuzz targets link the
    # fuzzer's own main. Optimised, or the fuzzer tries too few inputs.
    target_compile_options(${target} PRIVATE
      -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
      -fno-omit-frame-pointer -O1)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
endfunction()
