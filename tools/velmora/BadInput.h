// Input that the command refuses before it calls the library: exit status 2 with the message.
#pragma once

#include <stdexcept>

namespace VelmoraCommand {

class BadInput : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace VelmoraCommand
