#include "app/options.h"

#include <cstring>

namespace morbhost {

std::string UsageText() {
  return
      "usage: morbhost [options]\n"
      "\n"
      "Runs the MMWR week and year correction on the tables of the data\n"
      "directory, or evaluates expressions with --eval.\n"
      "\n"
      "  --data DIR         data directory of the tables (default ./data)\n"
      "  --module PATH      the module to load (default: libvornex.so beside morbhost)\n"
      "  --support PATH     the support library (default: libsupport.so beside morbhost)\n"
      "  --set NAME=EXPR    create the public variable NAME with the value of EXPR\n"
      "  --eval EXPR        evaluate EXPR and print its value (repeatable, in order)\n"
      "  --colour COLOURS   the screen colours of the patch (default W/B,N/W)\n"
      "  --headless         no terminal: draw on an in-memory screen\n"
      "  --keys TEXT        queue keys before anything runs ({ENTER}, {ESC}, ...)\n"
      "  --dump FILE        write the final screen as text to FILE\n"
      "  --mouse            turn mouse events on\n"
      "  --help             show this text\n";
}

bool ParseOptions(int argc, char** argv, Options* o, std::string* error) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= argc) {
        *error = "option " + arg + " needs a value";
        return false;
      }
      *out = argv[++i];
      return true;
    };
    std::string v;
    if (arg == "--help" || arg == "-h") {
      o->help = true;
    } else if (arg == "--headless") {
      o->headless = true;
    } else if (arg == "--mouse") {
      o->mouse = true;
    } else if (arg == "--data") {
      if (!value(&o->data_dir)) return false;
    } else if (arg == "--module") {
      if (!value(&o->module_path)) return false;
    } else if (arg == "--support") {
      if (!value(&o->support_path)) return false;
    } else if (arg == "--colour" || arg == "--color") {
      if (!value(&o->colour)) return false;
    } else if (arg == "--keys") {
      if (!value(&o->keys)) return false;
    } else if (arg == "--dump") {
      if (!value(&o->dump_path)) return false;
    } else if (arg == "--eval") {
      if (!value(&v)) return false;
      o->evals.push_back(v);
    } else if (arg == "--set") {
      if (!value(&v)) return false;
      size_t eq = v.find('=');
      if (eq == std::string::npos || eq == 0) {
        *error = "--set needs NAME=EXPR, got '" + v + "'";
        return false;
      }
      o->sets.emplace_back(v.substr(0, eq), v.substr(eq + 1));
    } else {
      *error = "unknown option '" + arg + "'";
      return false;
    }
  }
  return true;
}

}  // namespace morbhost
