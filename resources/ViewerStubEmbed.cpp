// The i686 viewer stub, assembled into the program from the file the nested
// MinGW build made (FOLIVEX_STUB_FILE). The two labels bracket its bytes.
#include "resources/ViewerStub.h"

#ifndef FOLIVEX_STUB_FILE
#error "FOLIVEX_STUB_FILE must name the viewer stub to embed"
#endif

// ELF (Linux) and PE/COFF (the Windows programs) name their read-only data
// section differently, and only ELF has hidden symbols and a section stack.
#if defined(_WIN32)
#define FOLIVEX_STUB_SECTION ".section .rdata,\"dr\"\n"
#define FOLIVEX_HIDDEN(symbol) ""
#define FOLIVEX_SECTION_BACK ".text\n"
#else
#define FOLIVEX_STUB_SECTION ".pushsection .rodata\n"
#define FOLIVEX_HIDDEN(symbol) ".hidden " symbol "\n"
#define FOLIVEX_SECTION_BACK ".popsection\n"
#endif

asm(FOLIVEX_STUB_SECTION
    ".balign 16\n"
    ".globl folivex_viewer_stub_begin\n" FOLIVEX_HIDDEN("folivex_viewer_stub_begin")
    "folivex_viewer_stub_begin:\n"
    ".incbin \"" FOLIVEX_STUB_FILE
    "\"\n"
    ".globl folivex_viewer_stub_end\n" FOLIVEX_HIDDEN("folivex_viewer_stub_end")
    "folivex_viewer_stub_end:\n" FOLIVEX_SECTION_BACK);

// The assembler names are given as they are: i686 Windows would otherwise
// put "_" before a C name.
extern "C" const uint8_t folivex_viewer_stub_begin[] __asm__("folivex_viewer_stub_begin");
extern "C" const uint8_t folivex_viewer_stub_end[] __asm__("folivex_viewer_stub_end");

namespace folivex {

std::span<const uint8_t> EmbeddedViewerStub() {
    return {folivex_viewer_stub_begin, folivex_viewer_stub_end};
}

}  // namespace folivex
