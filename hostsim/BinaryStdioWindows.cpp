// hostsim's standard streams on Windows in binary mode, set before main runs: the account's lines end in
// "\n" as on other systems (the C runtime's text mode would write "\r\n"), and script text read from
// standard input keeps its bytes.
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <initializer_list>

namespace {

struct BinaryStdio {
    BinaryStdio() {
        for (FILE* stream : {stdin, stdout, stderr}) _setmode(_fileno(stream), _O_BINARY);
    }
};

const BinaryStdio binaryStdio;

}  // namespace
