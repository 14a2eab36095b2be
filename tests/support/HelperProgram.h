// Where a test finds a program that it starts: beside the test program itself
// when a file of that name lies there (a run that copies the tests out of the
// build tree copies the programs they start as well), else where the build
// put it.
#pragma once

#include <string>

namespace vantrel_test {

std::string HelperProgram(const std::string& builtPath);

} // namespace vantrel_test
