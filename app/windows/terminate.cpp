// What happens to an exception nobody catches (the only one the program can
// meet is running out of memory): the process ends at once. The C++
// runtime's own handler would first write the exception's type to the
// console, demangling its name, and a windowed program has no console; its
// demangler alone is a fifth of the program file. Defining the handler here
// keeps the runtime's out of the link.
#include <cstdlib>

namespace __gnu_cxx {

[[noreturn]] void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx
