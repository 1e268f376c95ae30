// web_page.js -- the page's own script (olvo-gl-page.js in the site): it fits the window to the screen, fetches
// the program's files (compressed, unpacking them where the server didn't), keeps them for offline starts, and
// hands them to the program. The build writes in the sizes and hashes of the files and the build's name.

// Once the program has ended, nothing of it runs: the page says how it ended and can load it again.
function showEnded(text) {
  document.getElementById('loading').hidden = true;  // a program that can't start ends here too
  document.getElementById('keys').hidden = true;
  document.getElementById('ended-text').textContent = text;
  document.getElementById('ended').hidden = false;
  document.getElementById('restart').focus();
}
document.getElementById('restart').onclick = function() { location.reload(); };
// The window fits the viewport: 800 x 600 where there is room, else the largest 4:3 screen that leaves the
// caption and the keys in view, with the keys below the window or, where that gives a larger one (a low
// screen), beside it. Whole CSS pixels in steps of 4 x 3, so that the drawing buffer matches it exactly.
function fitWindow() {
  var body = document.body, keys = document.getElementById('keys');
  if (body.classList.contains('filled')) return;  // the window fills the viewport: its size is the page's
  var viewWidth = document.documentElement.clientWidth, viewHeight = document.documentElement.clientHeight;
  function largest(beside) {
    body.classList.toggle('beside', beside);
    var page = getComputedStyle(body), keyBox = keys.getBoundingClientRect(), keyStyle = getComputedStyle(keys);
    var width = viewWidth - parseFloat(page.paddingLeft) - parseFloat(page.paddingRight) - 2;  // 2: the border
    var height = viewHeight - parseFloat(page.paddingTop) - parseFloat(page.paddingBottom) - 2 -
                 document.getElementById('caption').offsetHeight;
    if (beside) width -= keyBox.width + parseFloat(keyStyle.marginLeft);
    else height -= keyBox.height + parseFloat(keyStyle.marginTop);
    return Math.max(1, Math.floor(Math.min(200, width / 4, height / 3)));
  }
  var below = largest(false), unit = below;
  if (below < 200) {
    unit = Math.max(below, largest(true));
    body.classList.toggle('beside', unit > below);
  }
  document.documentElement.style.setProperty('--window-width', unit * 4 + 'px');
  document.documentElement.style.setProperty('--window-height', unit * 3 + 'px');
}
window.addEventListener('resize', fitWindow);
if (window.visualViewport) visualViewport.addEventListener('resize', fitWindow);
fitWindow();

var Module = {
  canvas: document.getElementById('canvas'),
  onRuntimeInitialized: function() {
    document.getElementById('loading').hidden = true;
    document.getElementById('keys').hidden = false;
    running = true;
    keepScreenOn();
  },
  onExit: function(code) {
    letScreenOff();
    showEnded('Olvo GL has ended with exit code ' + code + '.');
  },
  onAbort: function(what) {
    letScreenOff();
    showEnded('Olvo GL has stopped on an error: ' + what);
  },
};

// The screen stays on while the program runs and the page shows, as the desktop builds keep the screen saver
// off. The browser drops the lock whenever the page is hidden, so it is asked for again when the page shows;
// where the browser refuses or lacks it, nothing else changes.
var running = false;
var wakeLock = null;  // the lock asked for or held, as a promise
function keepScreenOn() {
  if (!running || wakeLock || document.visibilityState != 'visible' || !navigator.wakeLock) return;
  wakeLock = navigator.wakeLock.request('screen').then(function(lock) {
    lock.addEventListener('release', function() { wakeLock = null; });
    return lock;
  }, function() { wakeLock = null; });
}
function letScreenOff() {
  running = false;
  if (wakeLock) wakeLock.then(function(lock) { if (lock) lock.release(); });
}
document.addEventListener('visibilitychange', keepScreenOn);

// The key buttons press their key as the pointer (a mouse or a finger) goes down and release it as it comes
// up. They never take the focus, so the keyboard's keys still go where they went.
document.querySelectorAll('#keys button').forEach(function(button) {
  var key = Number(button.dataset.key), held = false;
  function press(down) {
    if (held == down || !Module.calledRun) return;
    held = down;
    Module._WebPageKey(key, down ? 1 : 0);
  }
  button.onmousedown = function(event) { event.preventDefault(); };
  button.onpointerdown = function(event) {
    if (event.button != 0) return;
    button.setPointerCapture(event.pointerId);
    press(true);
  };
  button.onpointerup = button.onpointercancel = button.onlostpointercapture = function() { press(false); };
});

// The page fetches the program's files itself, so that it can show how much has arrived and say in words what
// went wrong, and hands them to the program. They are fetched gzipped where the browser can unpack them: a server
// that sends them as they are (most do) leaves that to the page; one that unpacks them itself on the way
// (Content-Encoding) hands over the plain file, which the page knows by its first bytes. The sizes and hashes
// are those of the built files, plain and gzipped, written in when the site is made: the bar counts bytes as they
// come, and a file that isn't this build's (cut short, or half uploaded) is neither run nor kept.
/*OLVO_WEB_FILE_CHECK*/
var buildName = '/*OLVO_WEB_BUILD*/';  // the build's contents, which name its offline cache
// Each copy of the site (its folder on its host) keeps its own builds' offline caches.
var cacheName = 'olvo-gl ' + new URL('./', location.href).href + ' ' + buildName;
var programFiles = ['olvo-gl.js', 'olvo-gl.wasm', 'olvo-gl.data'];
var fileRoles = {'olvo-gl.js': 'the page\'s part of the program', 'olvo-gl.wasm': 'the program',
                 'olvo-gl.data': 'the pictures'};
var packed = typeof DecompressionStream == 'function';
var stallWait = self.olvoStallWait || 15000;  // ms without a byte before a download has stalled (tests shorten it)

function showLoading(share, failure) {
  document.getElementById('load-text').textContent = failure ? 'Olvo GL could not be loaded.'
      : 'Loading Olvo GL… ' + Math.floor(share * 100) + '%';
  document.getElementById('progress').value = share;
  document.getElementById('progress').hidden = !!failure;
  document.getElementById('load-failed').textContent = failure || '';
  document.getElementById('load-failed').hidden = !failure;
  document.getElementById('retry').hidden = !failure;
  if (failure) document.getElementById('retry').focus();
}

// The build's name in each file's address ties the page to its own files, in any cache and at any host.
function fileAddress(name) {
  return (packed ? name + '.gz' : name) + '?' + buildName;
}

// A step of a download (its answer, each part of it) that brings nothing for stallWait has stalled: a phone
// between cells, a server that hangs. Nothing else would end it.
function inTime(step, file) {
  var timer;
  return Promise.race([step, new Promise(function(resolve, reject) {
    timer = setTimeout(reject, stallWait, file + ' stopped arriving: nothing came for ' + stallWait / 1000 + ' s.');
  })]).finally(function() { clearTimeout(timer); });
}

// A file as {sent: the bytes as they came, bytes: the file's own, an ArrayBuffer}; a failure is thrown as the
// words the page shows. onFirst hears whether the server unpacked it, onBytes each part's length.
function fetchFile(name, signal, onFirst, onBytes) {
  var file = name + ' (' + fileRoles[name] + ')';
  var answer = fetch(fileAddress(name), {credentials: 'same-origin', cache: 'no-cache', signal: signal});
  return inTime(answer.catch(function() {
    throw file + ' could not be downloaded: the network connection failed.' + (navigator.onLine === false ?
        ' This device is offline: Olvo GL needs the network on its first visit, and starts without one after ' +
        'that.' : '');
  }), file).then(function(response) {
    if (!response.ok) {
      throw response.status == 404 ? file + ' is missing on the server (HTTP 404, not found).'
          : 'The server answered HTTP ' + response.status + ' for ' + file + '.';
    }
    var reader = response.body.getReader(), chunks = [], length = 0;
    function next(part) {
      if (part.done) return unpack(name, file, chunks, length);
      if (!length) onFirst(!isGzip(part.value));
      chunks.push(part.value);
      length += part.value.length;
      onBytes(part.value.length);
      return read();
    }
    function read() {
      return inTime(reader.read().catch(function() {
        throw file + ' could not be downloaded: the network connection broke off.';
      }), file).then(next);
    }
    return read();
  });
}

function unpack(name, file, chunks, length) {
  var whole = new Uint8Array(length), at = 0;
  chunks.forEach(function(chunk) { whole.set(chunk, at); at += chunk.length; });
  return isBuiltFile(name, whole).then(function(built) {
    if (!built) {
      throw file + ' arrived damaged or incomplete: it isn\'t the file this page was built with. If the site is ' +
            'being updated, try again once that is done.';
    }
    if (!isGzip(whole)) return {sent: whole, bytes: whole.buffer};
    var unpacked = new Blob([whole]).stream().pipeThrough(new DecompressionStream('gzip'));
    return new Response(unpacked).arrayBuffer().then(function(bytes) {
      return {sent: whole, bytes: bytes};
    }, function() {
      throw file + ' arrived damaged: it could not be unpacked.';
    });
  });
}

// Offline starts: the files as they came go into the build's cache, and the service worker (olvo-gl-worker.js)
// serves them from it from the next visit on; the page asks the server for a new worker (a new build) each
// time. Browsers have workers only on HTTPS and this machine's own addresses; elsewhere the page goes on without.
function keepForOffline(files) {
  if (!window.caches || !navigator.serviceWorker || !isSecureContext) return;
  caches.open(cacheName).then(function(cache) {
    return Promise.all(programFiles.map(function(name, index) {
      return cache.match(fileAddress(name)).then(function(kept) {
        return kept || cache.put(fileAddress(name), new Response(files[index].sent));
      });
    }));
  }).catch(function() {}).then(function() {
    return navigator.serviceWorker.register('olvo-gl-worker.js');
  }).then(function(registration) {
    if (navigator.serviceWorker.controller) return registration.update();
  }).catch(function(failure) {
    console.warn('Olvo GL will need the network next time: ' + failure);
  });
}

// A failed try ends every download it still has going, so that a new one starts afresh.
var attempts = 0;  // a new try makes what an older one still receives count for nothing
function loadProgram() {
  var attempt = ++attempts;
  if (typeof WebAssembly != 'object') {
    showLoading(0, 'Olvo GL needs WebAssembly, which this browser doesn\'t offer (or has turned off).');
    return;
  }
  var downloads = typeof AbortController == 'function' ? new AbortController() : null;
  // The bar moves once the size of every file as it comes (gzipped or not) is known.
  var received = 0, expected = 0, sized = 0;
  showLoading(0);
  Promise.all(programFiles.map(function(name) {
    return fetchFile(name, downloads && downloads.signal, function(unpacked) {
      expected += builtFiles[name][packed && !unpacked ? 1 : 0];
      sized++;
    }, function(bytes) {
      received += bytes;
      if (sized == programFiles.length && attempt == attempts) showLoading(Math.min(received / expected, 1));
    });
  })).then(function(files) {
    if (attempt != attempts) return;
    showLoading(1);
    keepForOffline(files);
    Module.wasmBinary = files[1].bytes;
    var pictures = files[2].bytes;
    Module.getPreloadedPackage = function() {
      var handed = pictures;
      pictures = null;
      return handed;
    };
    var script = document.createElement('script');
    script.src = URL.createObjectURL(new Blob([files[0].bytes], {type: 'text/javascript'}));
    document.body.appendChild(script);
  }, function(failure) {
    if (downloads) downloads.abort();
    attempts++;
    showLoading(0, String(failure));
  });
}
document.getElementById('retry').onclick = loadProgram;
loadProgram();
