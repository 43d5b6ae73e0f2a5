// The POSIX executable.
#include "app/toverak_run.h"

int main(int argc, char** argv) { toverak::RunToverak(argc, argv); }
