# The built-in songs: each resources/songs/<name>.song compiles to songs/<name>.qek in this
# directory's build folder (a search folder of the resource compiler), and the song table
# source becomes the library vexolin_song_table.
set(VEXOLIN_SONGS_SOURCE_DIR ${CMAKE_CURRENT_LIST_DIR})
file(GLOB vexolin_song_sources CONFIGURE_DEPENDS ${VEXOLIN_SONGS_SOURCE_DIR}/*.song)
list(SORT vexolin_song_sources)
set(vexolin_song_images)
foreach(source ${vexolin_song_sources})
  get_filename_component(song_name ${source} NAME_WE)
  set(image ${CMAKE_CURRENT_BINARY_DIR}/songs/${song_name}.qek)
  add_custom_command(
    OUTPUT ${image}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/songs
    COMMAND vexolin-songc --strict ${source} -o ${image}
    DEPENDS ${source} vexolin-songc
    COMMENT "Compiling song ${song_name}"
    VERBATIM)
  list(APPEND vexolin_song_images ${image})
endforeach()
list(APPEND VEXOLIN_RESOURCE_INPUTS ${vexolin_song_images})
add_custom_target(vexolin_songs ALL DEPENDS ${vexolin_song_images})

set(vexolin_song_table_cpp ${CMAKE_CURRENT_BINARY_DIR}/song_table.cpp)
add_custom_command(
  OUTPUT ${vexolin_song_table_cpp}
  COMMAND vexolin-songc --table ${VEXOLIN_SONGS_SOURCE_DIR}/table.txt --songs ${VEXOLIN_SONGS_SOURCE_DIR}
          -o ${vexolin_song_table_cpp}
  DEPENDS ${VEXOLIN_SONGS_SOURCE_DIR}/table.txt ${vexolin_song_sources} vexolin-songc
  COMMENT "Making the song table"
  VERBATIM)
vexolin_library(vexolin_song_table SOURCES ${vexolin_song_table_cpp})
add_dependencies(vexolin_song_table vexolin_songs)
