# Build options shared by every component.
#
#   KELM_WERROR    warnings are errors (CI turns this on)
#   KELM_SANITIZE  address and undefined-behaviour sanitizers; builds only the
#                  components listed in KELM_SANITIZE_COMPONENTS
#   KELM_FUZZ      libFuzzer targets (needs clang)
#   KELM_BENCH     Google Benchmark programs in bench/

option(KELM_WERROR "Treat warnings as errors" OFF)
option(KELM_SANITIZE "Build with ASan and UBSan (platform, bus and byte-format code only)" OFF)
option(KELM_FUZZ "Build libFuzzer targets (clang only)" OFF)
option(KELM_BENCH "Build the benchmarks in bench/" ON)

# The byte-format, platform and bus code: what the sanitizer build covers.
set(KELM_SANITIZE_COMPONENTS platform/win platform/bus platform/lsp netfilter beacon
    CACHE STRING "Components built when KELM_SANITIZE is on")

find_program(CCACHE_PROGRAM ccache)
if(CCACHE_PROGRAM)
  set(CMAKE_C_COMPILER_LAUNCHER ${CCACHE_PROGRAM})
  set(CMAKE_CXX_COMPILER_LAUNCHER ${CCACHE_PROGRAM})
endif()

add_compile_options(-Wall -Wextra)
if(KELM_WERROR)
  add_compile_options(-Werror)
endif()

if(KELM_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

if(KELM_FUZZ AND NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "KELM_FUZZ needs clang (CC=clang CXX=clang++)")
endif()

# KELM_ONLY_COMPONENTS (a list of component folders) limits a build to those
# folders: handy while other folders are mid-edit.
set(KELM_ONLY_COMPONENTS "" CACHE STRING "Build only these component folders (empty: all)")

# Sets OUT to TRUE when the component folder DIR is part of this build.
function(kelm_component_enabled dir out)
  if(KELM_ONLY_COMPONENTS AND NOT dir IN_LIST KELM_ONLY_COMPONENTS)
    set(${out} FALSE PARENT_SCOPE)
    return()
  endif()
  if(NOT KELM_SANITIZE)
    set(${out} TRUE PARENT_SCOPE)
    return()
  endif()
  if(dir IN_LIST KELM_SANITIZE_COMPONENTS)
    set(${out} TRUE PARENT_SCOPE)
  else()
    set(${out} FALSE PARENT_SCOPE)
  endif()
endfunction()

# Qt is found once here so every component sees the same packages. The
# sanitizer build still needs Qt for the bus code.
find_package(Qt6 6.4 REQUIRED COMPONENTS Core Gui Widgets Network DBus)
if(NOT KELM_SANITIZE)
  find_package(Qt6 6.4 REQUIRED COMPONENTS WebEngineWidgets WebChannel)
endif()
find_package(PkgConfig REQUIRED)
find_package(SQLite3 REQUIRED)
find_package(ZLIB REQUIRED)
pkg_check_modules(NETTLE REQUIRED IMPORTED_TARGET nettle)
pkg_check_modules(MSPACK REQUIRED IMPORTED_TARGET libmspack)
