// The installer's failure mechanism: operations raise Error with a text meant
// for the user; SilentAbort ends a handler without any message.
#pragma once

#include <stdexcept>
#include <string>

namespace wt {

class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message) : std::runtime_error(message) {}
};

// Raised to leave a handler quietly; the dispatcher shows nothing for it.
class SilentAbort : public std::exception {
public:
    const char* what() const noexcept override { return "SilentAbort"; }
};

// printf-style formatting of a message text ("Failed to set data for '%s'").
std::string Format(const char* pattern, const std::string& argument);

// The text of an error as the user is shown it: a full stop is added when the
// last character sorts after "." (so not after "!", "?", ")" or a quote).
std::string WithFullStop(std::string text);

}  // namespace wt
