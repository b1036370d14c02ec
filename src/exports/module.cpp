// The module entry, the version query and the exported empty class.
#include "pelkart.h"

PELKART_ENTRY DllMain(void* /*instance*/, unsigned long /*reason*/, void* /*reserved*/) {
    return 1;  // TRUE for every notification; nothing to set up or tear down
}

PELKART_API DLLVersion(void) { return 1; }

CPelkart::CPelkart() {}

// Nothing to assign, so assigning an object to itself is harmless too.
CPelkart& CPelkart::operator=(const CPelkart& /*other*/) {  // NOLINT(cert-oop54-cpp)
    return *this;
}
