#pragma once
// Where an installed program finds its data when the working directory has none.

#include <string>
#include <vector>

// The font files to try, in order: the working directory's, the one beside the
// executable in `exeDir`, the data directory relative to it (an installed tree moved
// as a whole), then the data directory the build was configured for.
std::vector<std::string> fontCandidates(const std::string& exeDir);
// The first candidate that exists (whatever it holds: loading says what is wrong with
// it), else the first, so a missing font is reported under the name the user knows.
std::string firstExisting(const std::vector<std::string>& candidates);
// The directory of the running executable; empty when it cannot be told.
std::string executableDir();
// The font the program loads.
std::string findFontPath();
