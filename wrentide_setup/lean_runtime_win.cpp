// What setup and its uninstaller take of the C++ runtime, kept to what they use.
#include <bits/functexcept.h>

#include <cstdlib>
#include <new>

#include "wrentide_setup/error.h"

// An exception that escapes everything ends the program at once. The C++
// library's default handler would first print the exception's demangled type
// to a console these programs do not have, and would bring 46 KB of demangler
// along for that.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

// The library's helpers that its string and allocator code calls to throw. Its
// own build std::logic_error and kin, whose texts live in a copy-on-write
// string of their own: some 45 KB of string code in each program, for texts
// that only a failure message would show. Setup's handlers take any
// std::exception and show its what(), so the text still reaches the user.
namespace std {
void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_array_new_length(); }
void __throw_length_error(const char* what) { throw wt::Error(what); }
void __throw_logic_error(const char* what) { throw wt::Error(what); }
void __throw_out_of_range_fmt(const char*, ...) { throw wt::Error("Position out of range"); }
}  // namespace std
