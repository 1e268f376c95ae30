# data_files.cmake -- OLVO_DATA_FILES: the pictures the program loads (data/NAME.bmp, relative to the project), read
# from its texture table, so that every package ships exactly those and never another file left in data/.
set(olvo_texture_table ${PROJECT_SOURCE_DIR}/image/texture_set.cpp)
file(STRINGS ${olvo_texture_table} olvo_texture_lines REGEX "\"data/[^\"]+\"")
set(OLVO_DATA_FILES "")
foreach(line IN LISTS olvo_texture_lines)
  string(REGEX MATCHALL "\"data/[^\"]+\"" names "${line}")
  string(REPLACE "\"" "" names "${names}")
  list(APPEND OLVO_DATA_FILES ${names})
endforeach()
if(NOT OLVO_DATA_FILES)
  message(FATAL_ERROR "No picture names found in ${olvo_texture_table}")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${olvo_texture_table})
