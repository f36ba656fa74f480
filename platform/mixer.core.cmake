list(APPEND PLATFORM_CORE_SOURCES mixer.cpp offline_output.cpp wav_file.cpp)
# The inner mixing loops are the hottest code of the program.
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/mixer.cpp PROPERTIES COMPILE_OPTIONS -O3)
