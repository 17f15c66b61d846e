# widl writes the IDL's default values as C++ default arguments (where every later
# parameter has one too). For a by-reference parameter with a default other than 0,
# and for String and Variant parameters, that is no valid C++, and once one default
# goes every earlier one in the list must go too. The library's code passes every
# argument itself, so the methods' default arguments all go.
#   cmake -DHEADER=<generated header> -P widl_defaults.cmake
file(READ "${HEADER}" text)
string(REGEX REPLACE "(\n        [A-Za-z_][A-Za-z_0-9 ]*[ *]+[A-Za-z_0-9]+) = (L?\"[^\"\n]*\"|[^,)\n]+)([,)])" "\\1\\3"
       text "${text}")
file(WRITE "${HEADER}" "${text}")
