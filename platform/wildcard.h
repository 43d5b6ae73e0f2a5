// File-name patterns as the backup search reads them.
#pragma once

#include <string>

namespace toverak {

// True when `name` matches `pattern`, "*" standing for any run of characters, "?" for one.
bool MatchesWildcard(const std::string& pattern, const std::string& name);

}  // namespace toverak
