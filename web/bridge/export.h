#pragma once
// Marks a C entry point the page calls, so that the linker keeps it and the module exports it.
// A native build (the comparison with the WebAssembly build) needs no mark.

#include <cstddef>
#include <string>

#ifdef __EMSCRIPTEN__
#include <emscripten/emscripten.h>
#define KETA_EXPORT EMSCRIPTEN_KEEPALIVE
#else
#define KETA_EXPORT
#endif

namespace keta::web {

// The one buffer through which texts and bytes go out to the page: valid until the next call
// that gives something out. Its size counts for bytes, which may hold a NUL.
const char* GiveOut(std::string text);
std::size_t OutSize();

}  // namespace keta::web
