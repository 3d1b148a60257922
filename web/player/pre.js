// The WebAssembly is inside this script: it is instantiated from its own
// bytes, with no fetch (the page's policy allows none, not even of a data URL).
// A browser that refuses to compile it is told to the page (onRefused).
Module['instantiateWasm'] = function (imports, receive) {
  WebAssembly.instantiate(tryParseAsDataURI(wasmBinaryFile), imports).then(function (output) {
    receive(output['instance'], output['module']);
  }, function (error) {
    if (Module['onRefused']) Module['onRefused'](error);
  });
  return {};
};
