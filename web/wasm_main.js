/* wasm_main - runs a program built to WebAssembly as a command under Node */

/*
 * A page makes a fresh instance of a program each time it starts it; run as
 * "node value_table.js" the program runs at once on the process's own standard
 * input and output.  Its .wasm lies beside it and is handed over read, since
 * the loader's fetch cannot take a file path under Node 20.
 */
if (typeof require === 'function' && typeof module === 'object' && require.main === module) {
  module.exports({
    wasmBinary: require('fs').readFileSync(__filename.replace(/\.js$/, '.wasm')),
  });
}
