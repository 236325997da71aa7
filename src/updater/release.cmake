# The signed-release library, shared by the updater and the content server
# (which may be built without the program). Included from both; the target
# is defined once, the packages are found in each including folder so their
# targets are known there.
find_package(OpenSSL 3 REQUIRED COMPONENTS Crypto)
find_package(LibArchive REQUIRED)
if(NOT TARGET vantoli_release)
  add_library(vantoli_release STATIC
    ${CMAKE_CURRENT_LIST_DIR}/release.cpp
    ${CMAKE_CURRENT_LIST_DIR}/installer.cpp
  )
  target_include_directories(vantoli_release PUBLIC ${CMAKE_CURRENT_LIST_DIR}/..)
  target_link_libraries(vantoli_release PUBLIC Qt6::Core PRIVATE OpenSSL::Crypto LibArchive::LibArchive)
endif()
