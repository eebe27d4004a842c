# Skorvel.exe: the core over the system's own KERNEL32 and USER32, with no
# layer between them. A GUI-subsystem program (no console window) entered at
# WinMain, which the core defines.
#
# The runtime is linked in statically (libgcc, libstdc++, winpthread), so the
# .exe runs on a bare Windows with nothing beside it.

# Our own entry hands WinMain its command line cut as the Microsoft C runtime
# cuts it (MinGW's start-up code cuts a quoted program name differently).
add_executable(Skorvel WIN32 src/platform/windows_entry.cpp)
target_link_libraries(Skorvel PRIVATE skorvel_core skorvel_backslash_paths skorvel_warnings)
target_link_options(Skorvel PRIVATE -static -static-libgcc -static-libstdc++)

# The Windows programs that the end-to-end tests under Wine run beside the
# tool. The tests themselves run on Linux (tests/wine), in the native build.
if(SKORVEL_BUILD_TESTS)
  add_subdirectory(tests/wine/helpers)
endif()
