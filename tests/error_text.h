// What a call raises as an Error, for the tests of both builds.
#pragma once

#include <string>

#include "wrentide_setup/error.h"

namespace wt::test {

// The text of the Error that call raises, or none when it raises nothing.
template <typename Call>
std::string ErrorText(Call&& call, const char* none = "") {
    try {
        call();
    } catch (const Error& error) {
        return error.what();
    }
    return none;
}

}  // namespace wt::test
