// The page around the player: it draws the state the player hands back and
// forwards presses to it. Every rule (reading the test, scoring, choosing the
// result, the failures) is the player's, the program's own core.
(function () {
  'use strict';

  var byId = function (id) { return document.getElementById(id); };
  var player = null;
  var testBytes = null;
  var state = null;
  var lastPressed = null;
  var platform = null;  // the learning platform (platform.js), when the page is in one
  var paperBuilt = false;

  function decodeBase64(text) {
    var binary = atob(text.replace(/\s+/g, ''));
    var bytes = new Uint8Array(binary.length);
    for (var i = 0; i < binary.length; i++) bytes[i] = binary.charCodeAt(i);
    return bytes;
  }

  function read(pointer) { return JSON.parse(player.UTF8ToString(pointer)); }

  // Calls the player with bytes put into its memory for the call.
  function withBytes(bytes, call) {
    var at = player._malloc(bytes.length || 1);
    player.HEAPU8.set(bytes, at);
    var answer = read(call(at, bytes.length));
    player._free(at);
    return answer;
  }

  function openTest() { return withBytes(testBytes, player._qv_open); }

  // --- Drawing -------------------------------------------------------------

  function isShown(k) { return QuorvaneView.isShown(state, k); }

  function draw(moved) {
    QuorvaneView.draw(state, moved, { busy: false, endFocus: 'restart' });
    byId('print').hidden = state.phase !== 'result';
  }

  // --- The learning platform ----------------------------------------------

  function platformLine(text) {
    var line = byId('platform-line');
    line.textContent = text;
    line.hidden = false;
  }

  var notSent = 'Результат этого теста уже записан в системе обучения; новое прохождение туда не отправляется.';

  // What the platform is told of a press waits until the press is on
  // screen (its commit may take a while); leaving the page tells it at once.
  var untold = [];
  function tellPlatformSoon(s) {
    if (!platform) return;
    untold.push(s);
    if (untold.length === 1) {
      requestAnimationFrame(function () { setTimeout(tellUntold, 0); });
    }
  }

  function tellUntold() {
    if (untold.length === 0) return;
    var began = performance.now();
    var states = untold;
    untold = [];
    states.forEach(tellPlatform);
    // How long the platform took, for whoever measures the page.
    performance.measure('quorvane-platform', { start: began });
  }

  function tellPlatform(s) {
    if (!platform) return;
    if (s.scoredQuestion) platform.answered(s.scoredQuestion, s.scoredButton, s.presses);
    if (s.phase === 'question' && s.failure !== null) platform.failed(s.failure);
    if (s.phase !== 'question') {
      platform.ended(s.score, s.presses, s.rangeLine);
    }
  }

  // Presses kept by the platform, answered again without telling it.
  function resume(kept) {
    var digits = new Uint8Array(kept.length);
    for (var i = 0; i < kept.length; i++) digits[i] = kept.charCodeAt(i) & 0xff;
    state = withBytes(digits, player._qv_resume);
  }

  // --- What the person does ----------------------------------------------

  function answer(k) {
    if (!state || state.phase !== 'question' || state.failure !== null || !isShown(k)) return;
    var before = state;
    lastPressed = byId('answer' + k);
    state = read(player._qv_answer(k));
    // The score is the player's at the end of this run, whenever it is sent.
    if (platform && state.phase !== 'question') state.score = read(player._qv_platform_score());
    // The page first shows where the run is; the platform's failures cannot change that.
    draw(state.number !== before.number || state.phase !== before.phase);
    tellPlatformSoon(state);
  }

  function dismissFailure() {
    if (!state || state.failure === null) return;
    state = read(player._qv_dismiss());
    draw(false);
    if (state.phase === 'question' && lastPressed && !lastPressed.disabled) lastPressed.focus();
  }

  function restart() {
    tellUntold();  // the run before is told first
    state = openTest();
    lastPressed = null;
    if (platform && platform.sent()) platformLine(notSent);
    draw(true);
  }

  function saveResult() { QuorvaneView.saveResult(state); }

  // The whole test for paper, with a box for every shown button, and the
  // author's key when the page was made with it.
  function buildPaper() {
    if (paperBuilt || !state || state.count === 0) return;
    paperBuilt = true;
    var paper = byId('paper');
    var test = read(player._qv_paper());
    var add = function (parent, tag, text, className) {
      var node = document.createElement(tag);
      if (text !== undefined) node.textContent = text;
      if (className) node.className = className;
      parent.appendChild(node);
      return node;
    };
    paper.textContent = '';
    add(paper, 'h1', state.title);
    add(paper, 'p', state.author, 'paper-author');
    var shown = [];
    for (var k = 1; k <= 6; k++) if (isShown(k)) shown.push(k);
    test.questions.forEach(function (question, i) {
      var block = add(paper, 'section', undefined, 'paper-question');
      add(block, 'h2', 'Вопрос ' + (i + 1) + ' из ' + test.questions.length);
      add(block, 'p', question.text);
      if (shown.some(function (b) { return question.variants[b - 1] !== ''; })) {
        var list = add(block, 'ol');
        shown.forEach(function (b) { add(list, 'li', question.variants[b - 1]); });
      }
      var boxes = add(block, 'div', undefined, 'boxes');
      shown.forEach(function (b) { add(boxes, 'span', state.captions[b - 1] || String(b)); });
    });
  }

  function connectControls() {
    for (var k = 1; k <= 6; k++) {
      (function (k) {
        byId('answer' + k).addEventListener('click', function (event) {
          // The second click of a double click (or tap) is not another answer.
          if (event.detail > 1) return;
          answer(k);
        });
      })(k);
    }
    document.addEventListener('keydown', function (event) {
      var onButton = event.target && event.target.tagName === 'BUTTON';
      if (event.repeat && onButton && (event.key === 'Enter' || event.key === ' ')) {
        event.preventDefault();  // a held key answers once
        return;
      }
      if (event.key === 'Escape' && state && state.failure !== null) {
        event.preventDefault();  // Esc closes the box as its button does
        dismissFailure();
        return;
      }
      if (event.repeat || event.ctrlKey || event.altKey || event.metaKey) return;
      if (!/^[1-6]$/.test(event.key) || !state || state.failure !== null) return;
      var k = Number(event.key);
      var button = byId('answer' + k);
      if (state.phase !== 'question' || button.hidden || button.disabled) return;
      event.preventDefault();
      answer(k);
    });
    byId('failure-ok').addEventListener('click', dismissFailure);
    byId('restart').addEventListener('click', restart);
    byId('save-result').addEventListener('click', saveResult);
    byId('print').addEventListener('click', function () {
      buildPaper();
      window.print();
    });
    // The printed copy is made only when printing is asked for.
    window.addEventListener('beforeprint', buildPaper);
    window.addEventListener('pagehide', function () {
      if (!platform) return;
      tellUntold();
      platform.leave();
    });
  }

  function start(module) {
    player = module;
    testBytes = decodeBase64(byId('test-data').textContent);
    connectControls();
    platform = quorvanePlatform(platformLine);
    state = openTest();
    if (platform && platform.mode === 'open') {
      resume(platform.resume);
      if (state.failure !== null && state.phase === 'question') platform.failed(state.failure);
      if (state.phase !== 'question') {
        platform.ended(read(player._qv_platform_score()), state.presses, state.rangeLine);
      }
      // The check behind the score runs once the first question is on
      // screen, not at the last answer.
      requestAnimationFrame(function () { setTimeout(function () { player._qv_totals(); }, 0); });
    } else if (platform && platform.mode === 'recorded') {
      if (platform.recorded.total !== undefined) resume(platform.recorded.presses);
      platformLine(notSent);
    }
    byId('loading').hidden = true;
    draw(false);
    if (state.phase === 'question') byId('question').focus();
    document.body.setAttribute('data-ready', '1');
    // When the first question is on screen, for whoever measures the page.
    requestAnimationFrame(function () { performance.mark('quorvane-first-question'); });
  }

  // A browser that may not run WebAssembly (refused by the page's server,
  // say) leaves the test unrun: the page says so.
  function refused() {
    var loading = byId('loading');
    loading.textContent = 'Браузер отказался запустить тест: на этой странице ему не разрешено ' +
      'выполнять WebAssembly. Откройте файл страницы прямо с диска или в другом браузере.';
    loading.hidden = false;
    loading.setAttribute('role', 'alert');
  }

  try {
    if (typeof WebAssembly !== 'object') throw new Error('no WebAssembly');
    QuorvanePlayer({ onRefused: refused }).then(start, refused);
  } catch (e) {
    refused();
  }
})();
