// web_worker.js -- the site's service worker (olvo-gl-worker.js): it keeps the page and the program's files in a
// cache named by the build's contents, serves the site from it, with no network at all, and lets the network
// answer what it doesn't hold. The build writes in its name: a new build makes a new worker, which fills its
// own cache from the server (taking what the page already put there), takes over, and deletes the old caches.
var cacheName = 'olvo-gl-/*OLVO_WEB_BUILD*/';
var packed = typeof DecompressionStream == 'function';  // as the page fetches them
var siteFiles = ['./', 'olvo-gl-page.js', 'manifest.webmanifest'].concat(
  ['olvo-gl.js', 'olvo-gl.wasm', 'olvo-gl.data'].map(function(name) { return packed ? name + '.gz' : name; }));

self.addEventListener('install', function(event) {
  event.waitUntil(caches.open(cacheName).then(function(cache) {
    return Promise.all(siteFiles.map(function(name) {
      return cache.match(name).then(function(kept) {
        return kept || fetch(name, {cache: 'no-cache'}).then(function(response) {
          if (!response.ok) throw new Error(name + ': HTTP ' + response.status);
          return cache.put(name, response);
        });
      });
    }));
  }).then(function() { return self.skipWaiting(); }));
});

self.addEventListener('activate', function(event) {
  event.waitUntil(caches.keys().then(function(names) {
    return Promise.all(names.filter(function(name) {
      return name.indexOf('olvo-gl-') == 0 && name != cacheName;
    }).map(function(name) { return caches.delete(name); }));
  }).then(function() { return self.clients.claim(); }));
});

// The page's address, whatever its query, is the page; other requests are looked up as they are.
self.addEventListener('fetch', function(event) {
  var request = event.request;
  if (request.method != 'GET' || new URL(request.url).origin != location.origin) return;
  event.respondWith(caches.open(cacheName).then(function(cache) {
    return cache.match(request.mode == 'navigate' ? './' : request, {ignoreSearch: true});
  }).then(function(kept) { return kept || fetch(request); }));
});
