#include "RunProgram.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#ifndef _WIN32
#include <sys/wait.h>
#endif

#include "TestSystem.h"

int RunProgram(const std::string& program, const std::string& arguments, const std::string& out,
               const std::string& err) {
  const std::string errors = err.empty() ? std::string(kNullDevice) : err;
#ifdef _WIN32
  // cmd drops the first and the last quote of a line that starts with one: the outer pair.
  const std::string command =
      "\"\"" + program + "\" " + arguments + " >\"" + out + "\" 2>\"" + errors + "\"\"";
  return std::system(command.c_str());
#else
  const std::string command = "'" + program + "' " + arguments + " >" + out + " 2>" + errors;
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

std::string CapturedText(const std::string& path) {
  std::ostringstream text;
  text << std::ifstream(path).rdbuf();
  return text.str();
}
