// The parts of the Windows host that stand on their own.
#pragma once

#include <string>

namespace toverak {

// The text after the program name of a command line as the system gives it: the name ends at
// its closing quote when it begins with one, otherwise at the first blank or tab; the blanks
// and tabs after it are dropped, the rest stays unsplit with its quotes.
std::string ArgumentsAfterProgramName(const std::string& command_line);

}  // namespace toverak
