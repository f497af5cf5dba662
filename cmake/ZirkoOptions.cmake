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
