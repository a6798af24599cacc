// An error that ends the script with the runtime error box: a command that
// cannot go on at all (as opposed to a failure it reports in a variable).
#pragma once

#include <stdexcept>

namespace velmora {

class ScriptError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace velmora
