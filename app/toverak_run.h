// The restore tool as a whole: the default platform wired to the one entry of the program.
#pragma once

namespace toverak {

// Runs the whole job on this build's platform and ends the process with its exit status; `argc` and
// `argv` are main's.
void RunToverak(int argc, char** argv);

}  // namespace toverak
