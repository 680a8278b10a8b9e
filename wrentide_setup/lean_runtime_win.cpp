// What the exe takes of the C++ runtime, kept to what it uses.
#include <bits/functexcept.h>

#include <cstdlib>
#include <new>

#include "wrentide_setup/error.h"

// An exception that escapes everything ends the program at once. The C++
// library's default handler would first print the exception's demangled type
// to a console this program does not have, and would bring 46 KB of demangler
// into the exe for that.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

// The library's helpers that its string and allocator code calls to throw. Its
// own build std::logic_error and kin, whose texts live in a copy-on-write
// string of their own: some 45 KB of string code for texts that only the
// failure message shows, and setup's handlers show what() of any exception.
namespace std {
void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_array_new_length(); }
void __throw_length_error(const char* what) { throw wt::Error(what); }
void __throw_logic_error(const char* what) { throw wt::Error(what); }
void __throw_out_of_range_fmt(const char*, ...) { throw wt::Error("Position out of range"); }
}  // namespace std
