# liblzma and Boost for both builds.
#
# Windows: Debian ships no MinGW liblzma, so it is cross-built from Debian's
# xz-utils source package (scripts/build-liblzma-mingw.sh) into a prefix shared
# by all Windows build trees. Boost is header-only here; only /usr/include/boost
# is exposed to the cross compiler (through a symlink folder), never the rest
# of /usr/include, whose glibc headers would shadow MinGW's.
# Host: liblzma-dev and libboost-dev from Debian, and libssl-dev's libcrypto,
# with which the packer reads Authenticode signatures (PKCS#7, certificates).

if(ZV_WINDOWS)
  set(ZV_LIBLZMA_PREFIX "${CMAKE_SOURCE_DIR}/build/third_party/xz-mingw" CACHE PATH
      "Install prefix of the MinGW liblzma")
  if(NOT EXISTS "${ZV_LIBLZMA_PREFIX}/lib/liblzma.a")
    message(STATUS "Building liblzma for MinGW from Debian's xz-utils source package")
    file(LOCK "${CMAKE_SOURCE_DIR}/build/third_party.lock" GUARD FILE TIMEOUT 600)
    execute_process(
      COMMAND bash "${CMAKE_SOURCE_DIR}/scripts/build-liblzma-mingw.sh" "${ZV_LIBLZMA_PREFIX}"
      RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "liblzma for MinGW could not be built")
    endif()
  endif()
  add_library(zv_liblzma STATIC IMPORTED GLOBAL)
  set_target_properties(zv_liblzma PROPERTIES
    IMPORTED_LOCATION "${ZV_LIBLZMA_PREFIX}/lib/liblzma.a"
    INTERFACE_INCLUDE_DIRECTORIES "${ZV_LIBLZMA_PREFIX}/include"
    INTERFACE_COMPILE_DEFINITIONS LZMA_API_STATIC)

  set(ZV_BOOST_INCLUDE "${CMAKE_BINARY_DIR}/boost-include")
  file(MAKE_DIRECTORY "${ZV_BOOST_INCLUDE}")
  file(CREATE_LINK /usr/include/boost "${ZV_BOOST_INCLUDE}/boost" SYMBOLIC)
  add_library(zv_boost INTERFACE)
  target_include_directories(zv_boost SYSTEM INTERFACE "${ZV_BOOST_INCLUDE}")
else()
  find_library(ZV_LZMA_LIB lzma REQUIRED)
  add_library(zv_liblzma INTERFACE)
  target_link_libraries(zv_liblzma INTERFACE ${ZV_LZMA_LIB})
  add_library(zv_boost INTERFACE)
  find_package(OpenSSL 3.0 REQUIRED COMPONENTS Crypto)
endif()
