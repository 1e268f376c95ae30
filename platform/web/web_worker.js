// web_worker.js -- the site's service worker (olvo-gl-worker.js): it keeps the page and the program's files in a
// cache named by its copy of the site (its scope) and the build's contents, and serves them from there, with no
// network at all. The page itself is asked of the server first, so that a new build runs on the next visit;
// without a good answer soon, the kept one runs. The page asks for its files with the build's name in their
// addresses, so each page gets its own build's files from whichever cache holds them. The build writes in its
// name: a new build makes a new worker, which fills its own cache from the server (taking what the page already
// put there), keeping only files that are this build's, takes over, and deletes its own copy's old caches (never
// another copy's: two sites on one host each keep theirs).
/*OLVO_WEB_FILE_CHECK*/
var buildName = '/*OLVO_WEB_BUILD*/';
var cachePrefix = 'olvo-gl ' + registration.scope + ' ';
var cacheName = cachePrefix + buildName;
var packed = typeof DecompressionStream == 'function';  // as the page fetches them
var pageWait = 3000;  // ms the server has to answer for the page before the kept one is shown
var siteFiles = ['./', 'manifest.webmanifest', 'olvo-gl-page.js?' + buildName].concat(
  ['olvo-gl.js', 'olvo-gl.wasm', 'olvo-gl.data'].map(function(name) {
    return (packed ? name + '.gz' : name) + '?' + buildName;
  }));

// The program's files by size and hash; the page and its script by the build's name they carry (an upload under
// way may still hold the old ones).
function isSiteFile(address, bytes) {
  var name = address.split('?')[0].replace(/\.gz$/, '');
  if (builtFiles[name]) return isBuiltFile(name, bytes);
  return Promise.resolve(name == 'manifest.webmanifest' || new TextDecoder().decode(bytes).indexOf(buildName) >= 0);
}

// A file that isn't this build's fails the install: the old worker stays, and a later visit tries again.
self.addEventListener('install', function(event) {
  event.waitUntil(caches.open(cacheName).then(function(cache) {
    return Promise.all(siteFiles.map(function(name) {
      return cache.match(name).then(function(kept) {
        return kept || fetch(name, {cache: 'no-cache'}).then(function(response) {
          if (!response.ok) throw new Error(name + ': HTTP ' + response.status);
          return response.clone().arrayBuffer().then(function(bytes) {
            return isSiteFile(name, new Uint8Array(bytes));
          }).then(function(fits) {
            if (!fits) throw new Error(name + ': not this build\'s file');
            return cache.put(name, response);
          });
        });
      });
    }));
  }).then(function() { return self.skipWaiting(); }));
});

self.addEventListener('activate', function(event) {
  event.waitUntil(caches.keys().then(function(names) {
    return Promise.all(names.filter(function(name) {
      return name.indexOf(cachePrefix) == 0 && name != cacheName;
    }).map(function(name) { return caches.delete(name); }));
  }).then(function() { return self.clients.claim(); }));
});

// The page's address, whatever its query, is the page: the server's when it answers in time, and well (not an
// error page), else the kept one. Anything else comes from the caches when they hold it, else from the server.
self.addEventListener('fetch', function(event) {
  var request = event.request;
  if (request.method != 'GET' || new URL(request.url).origin != location.origin) return;
  if (request.mode == 'navigate') {
    event.respondWith(new Promise(function(resolve, reject) {
      function kept() {
        caches.match('./', {ignoreSearch: true}).then(function(page) { page ? resolve(page) : reject(); });
      }
      var timer = setTimeout(kept, pageWait);
      fetch(request).then(function(response) {
        clearTimeout(timer);
        response.ok ? resolve(response) : kept();
      }, function() {
        clearTimeout(timer);
        kept();
      });
    }).catch(function() { return fetch(request); }));
    return;
  }
  event.respondWith(caches.match(request).then(function(kept) { return kept || fetch(request); }));
});
