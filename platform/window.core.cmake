list(APPEND PLATFORM_CORE_SOURCES drawing.cpp window.cpp menu_resource.cpp instance_lock.cpp)
