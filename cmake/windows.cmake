# The Windows platform: ADO over COM, advapi32 and Win32, cross-compiled with mingw-w64. Every
# executable carries its runtime, so that the one file runs on a bare Windows machine.
add_link_options(-static -static-libgcc -static-libstdc++)

toverak_sources(windows_sources platform/windows)
add_library(toverak_platform STATIC ${windows_sources})
target_link_libraries(toverak_platform PUBLIC toverak_core ole32 oleaut32 advapi32 user32)
