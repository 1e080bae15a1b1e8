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

# The package and architecture the checker's descriptors give this release's artifact:
# "java-1.<major>.0-openjdk", the major being the runtime version's first number, or its second
# when the first is 1 (1.8.0.212 gives 8), and the name's last token (x86_64).
string(REPLACE "." ";" release_runtime_numbers "${RELEASE_RUNTIME_VERSION}")
list(GET release_runtime_numbers 0 release_major)
if(release_major EQUAL 1)
  list(GET release_runtime_numbers 1 release_major)
endif()
math(EXPR release_major "${release_major}")
set(RELEASE_DESCRIPTOR_PACKAGE_NAME "java-1.${release_major}.0-openjdk")
string(REGEX MATCH "[^.]+$" RELEASE_OS_ARCH "${RELEASE_PACKAGE_NAME}")
