// The Access reader behind the POSIX connection: OpenAccessBackend (declared with the other
// providers in platform/posix/backend.h) opens a file read-only, opens its tables as streamed
// recordsets, and runs the one sorted query that the restore sends.
#pragma once

#include "platform/posix/backend.h"
