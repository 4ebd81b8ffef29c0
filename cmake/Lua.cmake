# Builds the Lua 5.2 interpreter from Debian's source tarball with this
# project's patch series applied, compiled as C++ so that a script error
# raised inside an API function unwinds C++ frames (Lua then throws instead
# of calling longjmp).

set(LUA_TARBALL_NAME lua5.2_5.2.4.orig.tar.gz)
set(LUA_TARBALL_SHA256 86fb7e23cbbddfcd92684e5f8017ff41c9112251d1656dbece415a97fad171c0)

if(DEFINED ENV{ORRERY_LUA_TARBALL} AND NOT "$ENV{ORRERY_LUA_TARBALL}" STREQUAL "")
  set(_lua_default "$ENV{ORRERY_LUA_TARBALL}")
elseif(DEFINED ENV{ORRERY_CACHE_DIR} AND NOT "$ENV{ORRERY_CACHE_DIR}" STREQUAL "")
  set(_lua_default "$ENV{ORRERY_CACHE_DIR}/${LUA_TARBALL_NAME}")
elseif(DEFINED ENV{XDG_CACHE_HOME} AND NOT "$ENV{XDG_CACHE_HOME}" STREQUAL "")
  set(_lua_default "$ENV{XDG_CACHE_HOME}/orrery/${LUA_TARBALL_NAME}")
else()
  set(_lua_default "$ENV{HOME}/.cache/orrery/${LUA_TARBALL_NAME}")
endif()
set(ORRERY_LUA_TARBALL "${_lua_default}" CACHE FILEPATH "Path of ${LUA_TARBALL_NAME}")

if(NOT EXISTS "${ORRERY_LUA_TARBALL}")
  message(FATAL_ERROR
    "The Lua 5.2 source tarball was not found at ${ORRERY_LUA_TARBALL}.\n"
    "Run scripts/setup.sh to fetch it from Debian's source package, or set "
    "ORRERY_LUA_TARBALL (environment or -DORRERY_LUA_TARBALL=...) to a local "
    "copy of ${LUA_TARBALL_NAME} (SHA-256 ${LUA_TARBALL_SHA256}).")
endif()
file(SHA256 "${ORRERY_LUA_TARBALL}" _lua_digest)
if(NOT _lua_digest STREQUAL LUA_TARBALL_SHA256)
  message(FATAL_ERROR
    "${ORRERY_LUA_TARBALL} has SHA-256 ${_lua_digest}, expected ${LUA_TARBALL_SHA256}. "
    "Point ORRERY_LUA_TARBALL at a good copy of ${LUA_TARBALL_NAME}.")
endif()

# The unpacked tree is rebuilt whenever the tarball or a patch changes.
file(GLOB LUA_PATCHES CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/src/script/lua-patches/*.patch")
list(SORT LUA_PATCHES)
set(_lua_stamp_text "${_lua_digest}")
foreach(p IN LISTS LUA_PATCHES)
  file(SHA256 "${p}" _pd)
  string(APPEND _lua_stamp_text ";${p}=${_pd}")
endforeach()
string(SHA256 _lua_stamp "${_lua_stamp_text}")

set(LUA_ROOT "${CMAKE_BINARY_DIR}/lua5.2-5.2.4")
set(_lua_stamp_file "${LUA_ROOT}/.orrery-stamp")
set(_lua_old_stamp "")
if(EXISTS "${_lua_stamp_file}")
  file(READ "${_lua_stamp_file}" _lua_old_stamp)
endif()
if(NOT _lua_old_stamp STREQUAL _lua_stamp)
  message(STATUS "Unpacking ${LUA_TARBALL_NAME} and applying ${CMAKE_SOURCE_DIR}/src/script/lua-patches")
  file(REMOVE_RECURSE "${LUA_ROOT}")
  file(ARCHIVE_EXTRACT INPUT "${ORRERY_LUA_TARBALL}" DESTINATION "${CMAKE_BINARY_DIR}")
  find_program(PATCH_PROGRAM patch REQUIRED)
  foreach(p IN LISTS LUA_PATCHES)
    execute_process(COMMAND "${PATCH_PROGRAM}" -p1 --no-backup-if-mismatch -i "${p}"
      WORKING_DIRECTORY "${LUA_ROOT}" RESULT_VARIABLE _rc OUTPUT_VARIABLE _out ERROR_VARIABLE _out)
    if(NOT _rc EQUAL 0)
      message(FATAL_ERROR "Applying ${p} failed:\n${_out}")
    endif()
  endforeach()
  file(WRITE "${_lua_stamp_file}" "${_lua_stamp}")
endif()

# The console installs a handful of library functions itself (see
# src/script/interp.h); the libraries that reach files, the operating
# system, modules or maths are left out of the build altogether.
file(GLOB LUA_SOURCES "${LUA_ROOT}/src/*.c")
list(FILTER LUA_SOURCES EXCLUDE REGEX "/(lua|luac|liolib|loslib|loadlib|lmathlib|lbitlib|ltablib)\\.c$")
set_source_files_properties(${LUA_SOURCES} PROPERTIES LANGUAGE CXX)
# An object library: its objects go into orrery_script, which links it, so
# that the interpreter and the fixed-point code it calls form one archive.
add_library(lua52 OBJECT ${LUA_SOURCES})
target_include_directories(lua52 PUBLIC "${LUA_ROOT}/src")
# The patched configuration includes the project's fixed-point header.
target_include_directories(lua52 PRIVATE "${CMAKE_SOURCE_DIR}/src")
target_compile_definitions(lua52 PRIVATE LUA_USE_POSIX)
# Lua's own sources are not held to the project's warning level.
target_compile_options(lua52 PRIVATE -w)
# The virtual machine ends every instruction with its own jump to the next;
# GCC merges those jumps into one unless it may copy a few more
# instructions per jump.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  set_source_files_properties("${LUA_ROOT}/src/lvm.c" PROPERTIES
    COMPILE_OPTIONS "--param=max-goto-duplication-insns=30;-fno-crossjumping")
endif()
# Unoptimised and instrumented, the virtual machine's frame grows to tens of
# kilobytes, so that the 200 nested calls Lua allows (a metamethod calling
# itself, say) overflow the C stack before Lua reports "C stack overflow".
# The sanitizer build compiles the interpreter with light optimisation to
# keep its frames near their real size.
if(ORRERY_SANITIZE)
  target_compile_options(lua52 PRIVATE -O1)
endif()
