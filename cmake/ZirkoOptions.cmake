# SPDX-License-Identifier: GPL-3.0-or-later
# Compiler settings shared by every target of the tree.
add_compile_options(-Wall -Wextra -Wpedantic -Wshadow)
if(ZIRKO_WERROR)
  add_compile_options(-Werror)
endif()
if(ZIRKO_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
if(NOT CMAKE_BUILD_TYPE AND NOT CMAKE_CONFIGURATION_TYPES)
  set(CMAKE_BUILD_TYPE RelWithDebInfo CACHE STRING "Build type" FORCE)
endif()
# A fuzzing tree instruments everything it builds for libFuzzer's coverage and
# checks it with ASan and UBSan; only clang ships libFuzzer.
if(ZIRKO_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "ZIRKO_FUZZ needs clang: configure with -DCMAKE_CXX_COMPILER=clang++")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
