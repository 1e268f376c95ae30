// web_browser.js -- the page side of the web back-end: the window's canvas, the waits that suspend the program
// (the next animation frame, a message box's answer, a fullscreen request), the GL emulation's set-up for a
// new context, and what the program needs to hear of a lost context and of the screen's pixels. Linked with
// --js-library; the waits are ASYNCIFY imports.
mergeInto(LibraryManager.library, {
  // Puts a fresh canvas in place of the old one: a canvas hands back the same WebGL context however often one
  // is made on it, so only a new element gives a new context. It stays hidden until WebShowCanvas. A lost
  // context's default is prevented, so that the browser may restore it.
  WebCreateCanvas__deps: ['$WebFitCanvas'],
  WebCreateCanvas: function(title, width, height) {
    var old = document.getElementById('canvas');
    if (!old) return 0;
    var canvas = document.createElement('canvas');
    canvas.id = 'canvas';
    canvas.windowWidth = width;
    canvas.windowHeight = height;
    canvas.contextState = 0;  // as WebTakeContextState tells it
    canvas.style.visibility = 'hidden';
    canvas.setAttribute('aria-label', UTF8ToString(title));
    canvas.addEventListener('webglcontextlost', function(event) {
      event.preventDefault();
      canvas.contextState = 1;
    });
    canvas.addEventListener('webglcontextrestored', function() { canvas.contextState = 2; });
    old.replaceWith(canvas);
    WebFitCanvas();
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
  // A context in place of a lost one keeps the matrices the program set, which the set-up would reset.
  WebStartGlEmulation__deps: ['$GLImmediateSetup'],
  WebStartGlEmulation: function(keepMatrices) {
    var kept = keepMatrices && GLImmediate.matrix ?
      [GLImmediate.matrix, GLImmediate.matrixStack, GLImmediate.currentMatrix] : null;
    Module.useWebGL = true;
    GLImmediate.init();
    if (kept) {
      GLImmediate.matrix = kept[0];
      GLImmediate.matrixStack = kept[1];
      GLImmediate.currentMatrix = kept[2];
    }
  },

  // The canvas's context: 0 drawing, 1 lost, 2 restored by the browser since the loss (told once).
  WebTakeContextState__deps: ['$GL'],
  WebTakeContextState: function() {
    var canvas = document.getElementById('canvas');
    var state = canvas ? canvas.contextState : 0;
    if (!state && GL.currentContext && GL.currentContext.GLctx.isContextLost()) state = 1;  // no event yet
    if (state == 2) canvas.contextState = 0;
    return state;
  },

  // A restored context has lost its extensions with everything else.
  WebRestartGlContext__deps: ['$GL'],
  WebRestartGlContext: function(handle) {
    var context = GL.getContext(handle);
    context.initExtensionsDone = false;
    GL.makeContextCurrent(handle);
    GL.initExtensions(context);
  },

  // A texture name for the program while the context is lost, and later the texture under it.
  WebReserveTextureName__deps: ['$GL'],
  WebReserveTextureName: function() {
    var name = GL.getNewId(GL.textures);
    GL.textures[name] = null;
    return name;
  },

  WebAdoptTextureName__deps: ['$GL'],
  WebAdoptTextureName: function(name) {
    var texture = GLctx.createTexture();
    if (!texture) return;
    texture.name = name;
    GL.textures[name] = texture;
  },

  // Looked at before every frame: a browser may change the ratio without an event the page hears. The size is
  // the buffer WebGL really made, which may be smaller than the canvas asked for (short of memory).
  WebDrawingBufferSize__deps: ['$WebFitCanvas', '$WebCanvasContext'],
  WebDrawingBufferSize: function(width, height) {
    WebFitCanvas();
    var canvas = document.getElementById('canvas'), gl = WebCanvasContext(canvas);
    HEAP32[width >> 2] = gl ? gl.drawingBufferWidth : canvas ? canvas.width : 0;
    HEAP32[height >> 2] = gl ? gl.drawingBufferHeight : canvas ? canvas.height : 0;
  },

  // The canvas's live WebGL context, if the program has made one on it.
  $WebCanvasContext__deps: ['$GL'],
  $WebCanvasContext: function(canvas) {
    var gl = GL.currentContext && GL.currentContext.GLctx;
    return canvas && gl && gl.canvas === canvas && !gl.isContextLost() ? gl : null;
  },

  // The drawing buffer has the screen's own pixels: the canvas's size on the screen (its CSS size times the
  // viewport's zoom) times the device pixel ratio. The CSS size is the window's screen in the page, which the
  // page fits to the viewport, and in fullscreen (the browser's, or the page's own where it has none) the largest
  // of its proportions the screen holds (the container's black makes the bars). Followed through fullscreen
  // changes, resizes, zoom and changes of the ratio (browser zoom, a window moved to another screen). Zoomed in
  // far, the canvas would need more pixels than the screen has, or than WebGL can draw: the buffer keeps its
  // proportions at the screen's own number of pixels, within WebGL's largest viewport and renderbuffer.
  $WebFitCanvas__deps: ['$WebCanvasContext'],
  $WebFitCanvas: function() {
    if (!WebFitCanvas.watching) {
      WebFitCanvas.watching = true;
      document.addEventListener('fullscreenchange', WebFitCanvas);
      window.addEventListener('resize', WebFitCanvas);
      if (window.visualViewport) visualViewport.addEventListener('resize', WebFitCanvas);
      (function watchRatio() {
        matchMedia('(resolution: ' + devicePixelRatio + 'dppx)').addEventListener('change', function() {
          WebFitCanvas();
          watchRatio();
        }, {once: true});
      })();
    }
    var canvas = document.getElementById('canvas'), screen = document.getElementById('screen');
    if (!canvas || !canvas.windowWidth) return;
    var width = '', height = '';
    if (screen && (document.fullscreenElement === screen || document.body.classList.contains('filled'))) {
      var scale = Math.min(screen.clientWidth / canvas.windowWidth, screen.clientHeight / canvas.windowHeight);
      width = canvas.windowWidth * scale + 'px';
      height = canvas.windowHeight * scale + 'px';
    }
    if (canvas.style.width != width || canvas.style.height != height) {
      canvas.style.width = width;
      canvas.style.height = height;
    }
    var shown = canvas.getBoundingClientRect(), gl = WebCanvasContext(canvas);
    var ratio = devicePixelRatio * (window.visualViewport ? visualViewport.scale : 1);
    if (gl && !canvas.largest) {
      var viewport = gl.getParameter(gl.MAX_VIEWPORT_DIMS), renderbuffer = gl.getParameter(gl.MAX_RENDERBUFFER_SIZE);
      canvas.largest = [Math.min(viewport[0], renderbuffer), Math.min(viewport[1], renderbuffer)];
    }
    var largest = canvas.largest || [Infinity, Infinity];
    var wanted = [shown.width * ratio, shown.height * ratio];
    var screenPixels = window.screen.width * window.screen.height * devicePixelRatio * devicePixelRatio || Infinity;
    var fit = Math.min(1, Math.sqrt(screenPixels / (wanted[0] * wanted[1])), largest[0] / wanted[0],
                       largest[1] / wanted[1]);
    // Setting a size, even the same one, clears the drawing.
    var bufferWidth = Math.max(1, Math.round(wanted[0] * fit)), bufferHeight = Math.max(1, Math.round(wanted[1] * fit));
    if (canvas.width != bufferWidth) canvas.width = bufferWidth;
    if (canvas.height != bufferHeight) canvas.height = bufferHeight;
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
  // Where the browser has no fullscreen for elements at all (iPhones), the page's own stands in for it.
  WebRequestFullscreen__deps: ['$callUserCallback', '$WebFillPage'],
  WebRequestFullscreen: function() {
    return Asyncify.handleSleep(function(wakeUp) {
      var screen = document.getElementById('screen');
      if (screen && !screen.requestFullscreen && !screen.webkitRequestFullscreen) {
        wakeUp(WebFillPage(true));
        return;
      }
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

  // The page's own fullscreen: the window's screen fills the viewport, black around the picture, the keys over
  // the bars; scrolled to the top, so nothing of the page shows. 1 when filled.
  $WebFillPage__deps: ['$WebFitCanvas'],
  $WebFillPage: function(filled) {
    document.body.classList.toggle('filled', filled);
    if (filled) window.scrollTo(0, 0);
    else if (window.fitWindow) fitWindow();
    WebFitCanvas();
    return filled ? 1 : 0;
  },

  // Leaves the browser's fullscreen, or the page's own, and waits until the page is back in its own layout.
  WebExitFullscreen__deps: ['$callUserCallback', '$WebFillPage'],
  WebExitFullscreen: function() {
    return Asyncify.handleSleep(function(wakeUp) {
      if (document.body.classList.contains('filled')) WebFillPage(false);
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
