# The Linux tool: the core over the POSIX platform layer, with slash paths.

add_library(skorvel_slash_paths STATIC src/platform/separator_slash.cpp)
target_include_directories(skorvel_slash_paths PUBLIC src)
target_link_libraries(skorvel_slash_paths PRIVATE skorvel_warnings)

# The Windows command-line transforms, on their own so that tests can table them.
add_library(skorvel_posix_command_line STATIC src/platform/posix_command_line.cpp)
target_include_directories(skorvel_posix_command_line PUBLIC src)
target_link_libraries(skorvel_posix_command_line PRIVATE skorvel_warnings)

add_executable(skorvel
  src/platform/posix_main.cpp
  src/platform/posix_errors.cpp
  src/platform/posix_files.cpp
  src/platform/posix_handles.cpp
  src/platform/posix_messages.cpp
  src/platform/posix_notification.cpp
  src/platform/posix_processes.cpp
  src/platform/posix_rename_in_place.cpp
)
target_link_libraries(skorvel PRIVATE skorvel_core skorvel_slash_paths skorvel_posix_command_line
  skorvel_warnings)

install(TARGETS skorvel RUNTIME DESTINATION bin)

# The benchmark program: built, never run by the tests.
if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/bench/CMakeLists.txt)
  add_subdirectory(bench)
endif()
