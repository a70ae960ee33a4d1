# The release build of the .deb is hardened as Debian hardens its packages:
# the flags come from dpkg-buildflags, with all its hardening features
# (immediate binding too), but not its optimisation and debug flags, which
# the build type sets. For every target, so it comes before them.
option(KELMORA_HARDENING "Linux: harden with the flags of dpkg-buildflags" OFF)
if(KELMORA_HARDENING)
  if(WIN32)
    message(FATAL_ERROR "KELMORA_HARDENING takes Debian's flags: Linux builds only")
  endif()
  find_program(KELMORA_DPKG_BUILDFLAGS dpkg-buildflags REQUIRED)
  foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(
      COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
              "DEB_CXXFLAGS_MAINT_STRIP=-g -O2" ${KELMORA_DPKG_BUILDFLAGS} --get ${kind}
      WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
      OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    separate_arguments(flags UNIX_COMMAND "${flags}")
    if(kind STREQUAL "LDFLAGS")
      add_link_options(${flags})
    else()
      add_compile_options(${flags})
    endif()
  endforeach()
endif()

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
