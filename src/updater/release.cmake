# The signed-release library, shared by the updater and the content server
# (which may be built without the program). Included from both; the target
# is defined once, the packages are found in each including folder so their
# targets are known there.
find_package(OpenSSL 3 REQUIRED COMPONENTS Crypto)
find_package(LibArchive REQUIRED)

# Public release keys whose secret half is known to everyone (it was once
# committed to this repository): no build trusts them and no content server
# signs with them.
set(VANTOLI_RETIRED_RELEASE_KEYS
  7f9b297219bc4e8559af8aaf4b292e1483257464fada1bb5d18f7ddd96251192
)

if(NOT TARGET vantoli_release)
  add_library(vantoli_release STATIC
    ${CMAKE_CURRENT_LIST_DIR}/release.cpp
    ${CMAKE_CURRENT_LIST_DIR}/installer.cpp
  )
  target_include_directories(vantoli_release PUBLIC ${CMAKE_CURRENT_LIST_DIR}/..)
  target_link_libraries(vantoli_release PUBLIC Qt6::Core PRIVATE OpenSSL::Crypto LibArchive::LibArchive)
  list(JOIN VANTOLI_RETIRED_RELEASE_KEYS " " retired_keys)
  target_compile_definitions(vantoli_release PRIVATE VANTOLI_RETIRED_RELEASE_KEYS="${retired_keys}")
endif()

# Stops the configuration unless `key` is a usable release key: 64 hex
# digits, not a retired one.
function(vantoli_check_release_key key)
  if(NOT key MATCHES "^[0-9a-fA-F]+$")
    message(FATAL_ERROR "VANTOLI_RELEASE_PUBLIC_KEY must be 64 hex digits")
  endif()
  string(LENGTH "${key}" length)
  if(NOT length EQUAL 64)
    message(FATAL_ERROR "VANTOLI_RELEASE_PUBLIC_KEY must be 64 hex digits")
  endif()
  string(TOLOWER "${key}" lower)
  if(lower IN_LIST VANTOLI_RETIRED_RELEASE_KEYS)
    message(FATAL_ERROR "VANTOLI_RELEASE_PUBLIC_KEY is a retired key whose secret half is public; "
                        "make a key of your own (vantoli-content-server operator --data DIR release-key)")
  endif()
endfunction()

# An updater executable `name` that trusts the key defined in `key_source`
# (a C++ file defining vantoli::release::kTrustedKeyHex), written to
# `output_dir`.
function(vantoli_add_updater name key_source output_dir)
  find_package(Qt6 6.4 REQUIRED COMPONENTS Network)
  add_executable(${name} ${PROJECT_SOURCE_DIR}/src/updater/main.cpp ${key_source})
  target_link_libraries(${name} PRIVATE vantoli_release vantoli_app Qt6::Core Qt6::Network)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${output_dir})
endfunction()
