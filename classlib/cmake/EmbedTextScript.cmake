# Writes DIR/SYMBOL.cpp and DIR/SYMBOL.h holding the bytes of INPUT as a std::string_view.
file(READ ${INPUT} content HEX)
string(LENGTH "${content}" hexLength)
math(EXPR size "${hexLength} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${content}")
file(WRITE ${DIR}/${SYMBOL}.h
     "// Generated from ${INPUT}.\n#pragma once\n#include <string_view>\n"
     "extern const std::string_view ${SYMBOL};\n")
file(WRITE ${DIR}/${SYMBOL}.cpp
     "// Generated from ${INPUT}.\n#include \"${SYMBOL}.h\"\n"
     "namespace {\nconst char kBytes[] = {\n  ${bytes}'\\0'};\n}\n"
     "extern const std::string_view ${SYMBOL}(kBytes, ${size});\n")
