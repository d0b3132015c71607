#include "RunProgram.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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
  // -1 with errno set: cmd itself did not start (seen now and then under wine with many tests at
  // once), so the program never ran. Its own status is what the caller asks for: start it again.
  int status = -1;
  for (int attempt = 0; attempt < 3; ++attempt) {
    errno = 0;
    status = std::system(command.c_str());
    if (status != -1 || errno == 0) break;
    std::fprintf(stderr, "RunProgram: the command processor did not start (%s), again\n",
                 std::strerror(errno));
  }
  return status;
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
