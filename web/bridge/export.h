#pragma once
// Marks a C entry point the page calls, so that the linker keeps it and the module exports it.
// A native build (the comparison with the WebAssembly build) needs no mark.

#ifdef __EMSCRIPTEN__
#include <emscripten/emscripten.h>
#define KETA_EXPORT EMSCRIPTEN_KEEPALIVE
#else
#define KETA_EXPORT
#endif
