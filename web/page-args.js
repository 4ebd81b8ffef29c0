// Runs the page's program with the command line its address gives, until the
// page has a main loop of its own: every "arg" parameter is one argument,
// and every "file" parameter names a file fetched from beside the page into
// the page's files (under its own name) before the program starts. For
// instance orrery_page.html?file=game.q7&arg=-x&arg=game.q7 runs game.q7 in
// exec mode, its output on the browser's console. When the program ends,
// its exit status is in window.orreryExitStatus.
(function () {
  var query = new URLSearchParams(location.search);
  Module['arguments'] = query.getAll('arg');
  Module['onExit'] = function (status) { window['orreryExitStatus'] = status; };
  Module['preRun'] = (Module['preRun'] || []).concat(query.getAll('file').map(function (name) {
    return function () {
      var base = name.split('/').pop();
      addRunDependency('file ' + base);
      fetch(name).then(function (response) {
        if (!response.ok) throw new Error(name + ': HTTP ' + response.status);
        return response.arrayBuffer();
      }).then(function (body) {
        FS.writeFile('/' + base, new Uint8Array(body));
        removeRunDependency('file ' + base);
      }, function (error) {
        abort('could not fetch ' + name + ': ' + error.message);
      });
    };
  }));
})();
