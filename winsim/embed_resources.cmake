# Turns the compiled resources of the program (a .res file) into a C++
# source that winsim links in, so that the simulated machine serves the
# program's own resources. Run with -DINPUT=<file.res> -DOUTPUT=<file.cpp>.
file(READ "${INPUT}" bytes HEX)
string(LENGTH "${bytes}" hex_length)
math(EXPR size "${hex_length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," array "${bytes}")
string(REGEX REPLACE "((0x..,){24})" "\\1\n    " array "${array}")
file(WRITE "${OUTPUT}.tmp"
"// Generated from the program's resource script; do not edit.
#include <stddef.h>

namespace wsim {
namespace core {

extern const unsigned char kProgramResources[] = {
    ${array}
};
extern const size_t kProgramResourcesSize = ${size};

}  // namespace core
}  // namespace wsim
")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
