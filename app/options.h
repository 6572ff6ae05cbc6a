// The command line of the host program.
#ifndef APP_OPTIONS_H_
#define APP_OPTIONS_H_

#include <string>
#include <utility>
#include <vector>

namespace morbhost {

struct Options {
  std::string module_path;   // empty: the module built beside the program
  std::string support_path;  // empty: the support library beside the program
  std::string data_dir = "./data";
  std::string colour;        // empty: the default screen colour
  std::vector<std::pair<std::string, std::string>> sets;  // NAME, EXPR
  std::vector<std::string> evals;
  bool headless = false;
  bool mouse = false;
  std::string keys;
  std::string dump_path;
  bool help = false;
};

// Parses argv.  Returns false and fills `error` for a bad command line.
bool ParseOptions(int argc, char** argv, Options* options, std::string* error);

// The text --help prints.
std::string UsageText();

}  // namespace morbhost

#endif  // APP_OPTIONS_H_
