list(APPEND PLATFORM_SDL_SOURCES sdl_audio.cpp)
