#pragma once

#include <string>

// Whether pkginspect reads the package without a fault.
bool ReadsWithoutFault(const std::string& package);
// A package that reads without a fault comes back from its --source with the
// same values, shared alike; aborts where it does not.
void CheckRoundTrip(const std::string& package);
