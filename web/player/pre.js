// The WebAssembly is inside this script: it is instantiated from its own
// bytes, with no fetch (the page's policy allows none, not even of a data URL).
Module['instantiateWasm'] = function (imports, receive) {
  WebAssembly.instantiate(tryParseAsDataURI(wasmBinaryFile), imports).then(function (output) {
    receive(output['instance'], output['module']);
  });
  return {};
};
