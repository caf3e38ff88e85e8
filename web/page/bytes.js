'use strict';
// Bytes into and out of the module: in through memory allocated for the call, out through the
// module's one buffer, whose size keta_out_size gives.
const KetaBytes = (() => {
  function into(module, bytes, use) {
    const ptr = module._malloc(Math.max(1, bytes.length));
    if (!ptr) return null;
    try {
      module.HEAPU8.set(bytes, ptr);
      return use(ptr, bytes.length);
    } finally {
      module._free(ptr);
    }
  }

  function outOf(module, ptr) {
    return module.HEAPU8.slice(ptr, ptr + module._keta_out_size());
  }

  return { into, outOf };
})();
