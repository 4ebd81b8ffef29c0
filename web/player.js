// The web player's start, run before the console's program is loaded. The
// page says what to run in window.orreryPlayer:
//   cart:      a cartridge file beside the page, run after the boot (an
//              exported page);
//   args:      a whole command line instead (a test page), with
//   files:     files fetched from beside the page into / before the start;
//   persist:   keep the home folder in the browser's storage (default true):
//              cartridge data, favourites and config.txt survive a reload;
//   autostart: start at once rather than at the first click or key (the
//              click is what lets a browser play sound).
// The page holds a canvas "canvas" and, when it has them, the elements
// "status" (loading, click to start, errors, the end) and "fullscreen".
// The program's standard output goes to console.log, its standard error to
// console.warn; when it ends, window.orreryExitStatus holds its status.
(function () {
  var player = window['orreryPlayer'] || {};
  var home = '/orrery/';
  var persist = player['persist'] !== false;
  var cart = player['cart'] ? String(player['cart']).split('/').pop() : '';
  var files = (player['files'] || []).concat(cart ? [cart] : []);
  var status = document.getElementById('status');
  var canvas = document.getElementById('canvas');
  var ready = false, wanted = !!player['autostart'], started = false;

  function say(text) {
    if (!status) return;
    status.textContent = text;
    status.hidden = !text;
  }

  Module['canvas'] = canvas;
  Module['setStatus'] = function () {};

  // The home folder in the browser's storage: read in before the start,
  // written back after every change the console makes (it asks through
  // orreryKeepHome) and at the end. One copy runs at a time; a change during
  // it is copied once it is done. window.orreryHomeKept counts the copies
  // finished, for the page's tests.
  var keeping = false, keepAgain = false;
  window['orreryHomeKept'] = 0;
  Module['orreryKeepHome'] = function () {
    if (!persist) return;
    if (keeping) {
      keepAgain = true;
      return;
    }
    keeping = true;
    FS.syncfs(false, function (error) {
      keeping = false;
      if (error) console.warn('could not keep the home folder: ' + error);
      else window['orreryHomeKept']++;
      if (keepAgain) {
        keepAgain = false;
        Module['orreryKeepHome']();
      }
    });
  };

  function failed(name, why) {
    say('could not load ' + name + ': ' + why);
    abort('could not fetch ' + name + ': ' + why);
  }

  Module['preRun'] = (Module['preRun'] || []).concat(function () {
    FS.mkdir(home);
    FS.mkdir('/desktop');
    if (persist) {
      FS.mount(IDBFS, {}, home);
      addRunDependency('home');
      FS.syncfs(true, function (error) {
        if (error) console.warn('could not read the home folder: ' + error);
        removeRunDependency('home');
      });
    }
    // (A request rather than fetch(): a page opened from the disk, in a
    // browser that lets it read the files beside it, can read them so.)
    files.forEach(function (name) {
      var base = name.split('/').pop();
      addRunDependency('file ' + base);
      var request = new XMLHttpRequest();
      request.open('GET', name);
      request.responseType = 'arraybuffer';
      request.onload = function () {
        // Status 0 is a file read from the disk.
        if ((request.status === 200 || request.status === 0) && request.response) {
          FS.writeFile('/' + base, new Uint8Array(request.response));
          removeRunDependency('file ' + base);
        } else {
          failed(name, 'HTTP ' + request.status);
        }
      };
      request.onerror = function () { failed(name, 'no answer'); };
      request.send();
    });
  });

  function start() {
    if (started || !ready || !wanted) return;
    started = true;
    say('');
    var args = player['args'] || ['-home', home, '-desktop', '/desktop/', '-windowed', '1',
                                  '-pixel_perfect', '1', '/' + cart];
    if (canvas) canvas.focus();
    Module['callMain'](args);
  }

  Module['onRuntimeInitialized'] = function () {
    ready = true;
    if (!wanted) say('click to start');
    start();
  };
  Module['onExit'] = function (code) {
    window['orreryExitStatus'] = code;
    Module['orreryKeepHome']();
    if (!player['args']) say('the console has ended: reload the page to play again');
  };
  Module['onAbort'] = function (what) {
    // A browser that may not read the files beside a page opened from the
    // disk cannot load the console at all.
    if (location.protocol === 'file:' && !ready) say('this page needs a web server: ' + what);
    else say('the console stopped: ' + what);
  };

  // The first click, tap or key starts the console: inside that gesture the
  // browser lets it open its sound output.
  function gesture(event) {
    if (started) return;
    wanted = true;
    if (event.type === 'keydown') event.preventDefault();
    start();
  }
  window.addEventListener('pointerdown', gesture);
  window.addEventListener('keydown', gesture);

  // A tab can be closed at any moment: when it is hidden, the configuration
  // (written by the console at its end, which a closed tab never reaches)
  // is written and the home folder kept.
  document.addEventListener('visibilitychange', function () {
    if (document.visibilityState !== 'hidden' || !started || !persist) return;
    Module['_vell_web_page_hidden']();
    Module['orreryKeepHome']();
  });

  var fullscreen = document.getElementById('fullscreen');
  if (fullscreen) {
    if (!document.fullscreenEnabled) fullscreen.hidden = true;
    fullscreen.addEventListener('pointerdown', function (event) { event.stopPropagation(); });
    fullscreen.addEventListener('click', function () {
      if (document.fullscreenElement) document.exitFullscreen();
      else document.documentElement.requestFullscreen().catch(function () {});
    });
  }
  say(wanted ? '' : 'loading');
})();
