// The viewer only inflates; it never compresses. The archive library that it
// shares with the builder also holds the blob encoder, and on this target
// the linker keeps every function of an object it links (the DWARF unwind
// tables refer to all of them), so the encoder would bring zlib's whole
// compressor (over 30 KB) into the stub, and so into every e-book. Defining
// compress() here keeps zlib's own out; should anything in the viewer ever
// call it, the encoder reports a zlib failure (ContainerError), no more.
#include <zlib.h>

extern "C" int ZEXPORT compress(Bytef*, uLongf*, const Bytef*, uLong) {
    return Z_MEM_ERROR;
}
