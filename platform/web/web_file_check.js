// web_file_check.js -- whether a program file that came from the server is this build's: written into the page's
// script and the worker, which keep only such files. The build writes in each file's size and SHA-256, plain and
// gzipped: [size, size gzipped, SHA-256, SHA-256 gzipped].
var builtFiles = {/*OLVO_WEB_FILES*/};

function isGzip(bytes) {
  return bytes.length > 2 && bytes[0] == 0x1f && bytes[1] == 0x8b;
}

// Resolves to whether bytes (a Uint8Array) are the named file as built, gzipped or not: a file cut short, half
// uploaded or left from another build is not. The hash is checked where the browser offers one (secure contexts),
// the size everywhere.
function isBuiltFile(name, bytes) {
  var form = isGzip(bytes) ? 1 : 0, built = builtFiles[name];
  if (!built || bytes.length != built[form]) return Promise.resolve(false);
  if (!self.crypto || !crypto.subtle) return Promise.resolve(true);
  return crypto.subtle.digest('SHA-256', bytes).then(function(digest) {
    return Array.from(new Uint8Array(digest), function(byte) {
      return (byte + 256).toString(16).slice(1);
    }).join('') == built[form + 2];
  });
}
