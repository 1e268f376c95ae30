// web_browser.js -- the page side of the web back-end: the window's canvas, the waits that suspend the program
// (the next animation frame, a message box's answer, a fullscreen request), and the GL emulation's set-up for a
// new context. Linked with --js-library; the waits are ASYNCIFY imports.
mergeInto(LibraryManager.library, {
  // Puts a fresh canvas in place of the old one: a canvas hands back the same WebGL context however often one
  // is made on it, so only a new element gives a new context. It stays hidden until WebShowCanvas.
  WebCreateCanvas: function(title, width, height) {
    var old = document.getElementById('canvas');
    if (!old) return 0;
    var canvas = document.createElement('canvas');
    canvas.id = 'canvas';
    canvas.width = width;
    canvas.height = height;
    canvas.style.visibility = 'hidden';
    canvas.setAttribute('aria-label', UTF8ToString(title));
    old.replaceWith(canvas);
    Module['canvas'] = canvas;
    document.title = UTF8ToString(title);
    document.getElementById('caption').textContent = UTF8ToString(title);
    return 1;
  },

  WebShowCanvas: function(shown) {
    var canvas = document.getElementById('canvas');
    if (canvas) canvas.style.visibility = shown ? 'visible' : 'hidden';
  },

  WebShowCursor: function(shown) {
    document.getElementById('screen').style.cursor = shown ? '' : 'none';
  },

  // The emulation keeps its matrices, shaders and buffers for one context and sets them up only when the first
  // context is made through its own path; a context made with the html5 calls needs it done here, before the
  // first matrix call.
  WebStartGlEmulation__deps: ['$GLImmediateSetup'],
  WebStartGlEmulation: function() {
    Module.useWebGL = true;
    GLImmediate.init();
  },

  // Loses the context at once, as deleting a desktop context frees its textures, and forgets the names it gave
  // out: the name tables are shared by every context, and a stale entry would keep the old one alive.
  WebDeleteGlContext__deps: ['$GL'],
  WebDeleteGlContext: function(handle) {
    var context = GL.getContext(handle);
    if (!context) return 0;
    var lose = context.GLctx.getExtension('WEBGL_lose_context');
    GL.deleteContext(handle);
    if (lose) lose.loseContext();
    [GL.textures, GL.buffers, GL.programs, GL.shaders, GL.framebuffers, GL.renderbuffers].forEach(function(table) {
      table.fill(null);
    });
    return 1;
  },

  // Waits for the browser's next animation frame, so a frame is drawn only when the display can show it.
  WebWaitForFrame__deps: ['$callUserCallback'],
  WebWaitForFrame: function() {
    return Asyncify.handleSleep(function(wakeUp) {
      requestAnimationFrame(function() {
        callUserCallback(wakeUp);
      });
    });
  },

  // Shows the page's modal box and waits for its answer: IDOK (1), or IDYES (6) / IDNO (7) when yesNo is set.
  // Escape answers OK in an OK box and does nothing in a Yes/No box, which has no cancel button.
  WebShowMessageBox__deps: ['$callUserCallback'],
  WebShowMessageBox: function(text, caption, yesNo) {
    return Asyncify.handleSleep(function(wakeUp) {
      var box = document.getElementById('box');
      var buttons = document.getElementById('box-buttons');
      document.getElementById('box-caption').textContent = UTF8ToString(caption);
      document.getElementById('box-text').textContent = UTF8ToString(text);
      buttons.textContent = '';
      var answered = false;
      function answer(value) {
        if (answered) return;
        answered = true;
        box.oncancel = null;
        box.close();
        callUserCallback(function() { wakeUp(value); });
      }
      (yesNo ? [['Yes', 6], ['No', 7]] : [['OK', 1]]).forEach(function(choice) {
        var button = document.createElement('button');
        button.type = 'button';
        button.textContent = choice[0];
        button.value = choice[0].toLowerCase();
        button.onclick = function() { answer(choice[1]); };
        buttons.appendChild(button);
      });
      box.oncancel = function(event) {
        event.preventDefault();
        if (!yesNo) answer(1);
      };
      box.showModal();
      buttons.firstChild.focus();
    });
  },

  // Asks for the browser's fullscreen on the canvas's container, which outlives every canvas put in it; 1 when
  // granted. Browsers grant it only soon after a key press or a click, and a page may forbid it outright.
  WebRequestFullscreen__deps: ['$callUserCallback'],
  WebRequestFullscreen: function() {
    return Asyncify.handleSleep(function(wakeUp) {
      var screen = document.getElementById('screen');
      if (!screen || !screen.requestFullscreen || !document.fullscreenEnabled) {
        wakeUp(0);
        return;
      }
      function settle(granted) {
        callUserCallback(function() { wakeUp(granted); });
      }
      screen.requestFullscreen({navigationUI: 'hide'}).then(function() { settle(1); }, function() { settle(0); });
    });
  },

  // Leaves the browser's fullscreen and waits until the page is back in its own layout.
  WebExitFullscreen__deps: ['$callUserCallback'],
  WebExitFullscreen: function() {
    return Asyncify.handleSleep(function(wakeUp) {
      if (!document.fullscreenElement) {
        wakeUp(0);
        return;
      }
      function settle() {
        callUserCallback(function() { wakeUp(0); });
      }
      document.exitFullscreen().then(settle, settle);
    });
  },
});
