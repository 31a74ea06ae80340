#include "tools/command_line.hpp"

namespace rcpspdc {

bool next_option(const std::vector<std::string>& args, std::size_t& a, std::string& name, std::string& value,
                 std::string& error) {
  name = args[a];
  value.clear();
  if (name == "--help" || name == "-h") {
    name = "--help";
    return true;
  }
  if (name.rfind("--", 0) != 0) {
    error = "unexpected argument \"" + name + "\" (options begin with --; see --help)";
    return false;
  }
  const std::size_t equals = name.find('=');
  if (equals != std::string::npos) {
    value = name.substr(equals + 1);
    name.resize(equals);
  } else if (a + 1 < args.size()) {
    value = args[++a];
  } else {
    error = name + " needs a value (see --help)";
    return false;
  }
  return true;
}

}  // namespace rcpspdc
