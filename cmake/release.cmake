# Reads release.env into RELEASE_<KEY> variables and derives the runtime's version parts from the
# package name (java-1.8.0-openjdk-<version>-<release>.b<build>.<vendor>.windows.x86_64).
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/../release.env release_lines REGEX "^[A-Z_]+=")
foreach(line IN LISTS release_lines)
  string(REGEX MATCH "^([A-Z_]+)=(.*)$" matched "${line}")
  set(RELEASE_${CMAKE_MATCH_1} "${CMAKE_MATCH_2}")
endforeach()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/../release.env)

if(NOT RELEASE_PACKAGE_NAME MATCHES "^java-[0-9.]+-openjdk-([0-9]+\\.[0-9]+\\.[0-9]+\\.[0-9]+)-([0-9]+)\\.b([0-9]+)\\.")
  message(FATAL_ERROR "release.env: PACKAGE_NAME does not name a runtime package: ${RELEASE_PACKAGE_NAME}")
endif()
set(RELEASE_RUNTIME_VERSION ${CMAKE_MATCH_1})
set(RELEASE_RUNTIME_RELEASE ${CMAKE_MATCH_2})
string(REGEX REPLACE "^0+([0-9])" "\\1" RELEASE_RUNTIME_BUILD "${CMAKE_MATCH_3}")
