// The installer's failure mechanism: operations raise Error with a text meant
// for the user.
#pragma once

#include <exception>
#include <string>
#include <utility>

namespace wt {

// Not a std::runtime_error: the library's keeps its text in a string type of
// its own, and that alone would add some 45 KB of string code to the exe.
class Error : public std::exception {
public:
    explicit Error(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

// printf-style formatting of a message text ("Failed to set data for '%s'").
std::string Format(const char* pattern, const std::string& argument);

// The text of an error as the user is shown it: a full stop is added when the
// last character sorts after "." (so not after "!", "?", ")" or a quote).
std::string WithFullStop(std::string text);

}  // namespace wt
