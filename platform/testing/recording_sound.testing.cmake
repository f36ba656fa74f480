#Recording sound system : device and buffers that log every call(tests only).
list(APPEND PLATFORM_TESTING_SOURCES ${CMAKE_CURRENT_LIST_DIR} / recording_sound.cpp)
