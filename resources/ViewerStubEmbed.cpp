// The i686 viewer stub, assembled into the program from the file the nested
// MinGW build made (FOLIVEX_STUB_FILE). The two labels bracket its bytes.
#include "resources/ViewerStub.h"

#ifndef FOLIVEX_STUB_FILE
#error "FOLIVEX_STUB_FILE must name the viewer stub to embed"
#endif

asm(".section .rodata\n"
    ".balign 16\n"
    ".globl folivex_viewer_stub_begin\n"
    ".hidden folivex_viewer_stub_begin\n"
    "folivex_viewer_stub_begin:\n"
    ".incbin \"" FOLIVEX_STUB_FILE
    "\"\n"
    ".globl folivex_viewer_stub_end\n"
    ".hidden folivex_viewer_stub_end\n"
    "folivex_viewer_stub_end:\n"
    ".previous\n");

extern "C" const uint8_t folivex_viewer_stub_begin[];
extern "C" const uint8_t folivex_viewer_stub_end[];

namespace folivex {

std::span<const uint8_t> EmbeddedViewerStub() {
    return {folivex_viewer_stub_begin, folivex_viewer_stub_end};
}

}  // namespace folivex
