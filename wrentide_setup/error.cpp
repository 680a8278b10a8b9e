#include "wrentide_setup/error.h"

namespace wt {

std::string Format(const char* pattern, const std::string& argument) {
    // Only "%s" is ever used in the product's texts.
    std::string out;
    for (const char* p = pattern; *p; ++p) {
        if (p[0] == '%' && p[1] == 's') {
            out += argument;
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}

std::string WithFullStop(std::string text) {
    if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') text += '.';
    return text;
}

}  // namespace wt
