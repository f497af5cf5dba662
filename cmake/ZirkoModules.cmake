# SPDX-License-Identifier: GPL-3.0-or-later
# Zirko's modules: parts with heavy libraries of their own (the plot's Qt Charts, the
# endpoint's Qt Network) that the programs load only when a feature is first used,
# so a start that never uses it maps none of them. Built beside the programs;
# installed in a library folder of Zirko's own, one level down so that the
# package's scripts never run ldconfig for them. modules/ finds them.
include(GNUInstallDirs)
set(ZIRKO_MODULE_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/zirko/plugins)

# A module links Qt and nothing of ours: our static libraries are not built
# position-independent, and a second copy of their code is not wanted.
function(zirko_add_module target)
  add_library(${target} SHARED ${ARGN})
  # No soname: a module of the program, not a library for others (nor for ldconfig).
  set_target_properties(${target} PROPERTIES AUTOMOC ON NO_SONAME ON
                        LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
  install(TARGETS ${target} LIBRARY DESTINATION ${ZIRKO_MODULE_INSTALL_DIR})
endfunction()
