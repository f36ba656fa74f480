list(APPEND PLATFORM_CORE_SOURCES menu_template.cpp)
