# The Windows platform: ADO over COM, advapi32 and Win32.
message(FATAL_ERROR "The Windows platform is not built yet")
