list(APPEND PLATFORM_CORE_SOURCES mixer.cpp offline_output.cpp wav_file.cpp)
