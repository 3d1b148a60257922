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
  var platform = null;  // the learning platform's SCORM 1.2 API, when there is one
  var reported = false;  // the run's end has been told to the platform

  function decodeBase64(text) {
    var binary = atob(text.replace(/\s+/g, ''));
    var bytes = new Uint8Array(binary.length);
    for (var i = 0; i < binary.length; i++) bytes[i] = binary.charCodeAt(i);
    return bytes;
  }

  function read(pointer) { return JSON.parse(player.UTF8ToString(pointer)); }

  function openTest() {
    var at = player._malloc(testBytes.length || 1);
    player.HEAPU8.set(testBytes, at);
    var opened = read(player._qv_open(at, testBytes.length));
    player._free(at);
    return opened;
  }

  // --- Drawing -------------------------------------------------------------

  function isShown(k) { return k === 1 || k <= state.shown; }

  function draw(moved) {
    var s = state;
    var ended = s.phase !== 'question' && s.failure === null;
    document.title = s.caption || s.title || document.title;
    byId('title').textContent = s.title;
    byId('author').textContent = s.author;
    byId('progress').textContent = s.phase === 'question' && s.count > 0
      ? 'Вопрос ' + s.number + ' из ' + s.count : '';
    byId('question').textContent = s.question;
    for (var k = 1; k <= 6; k++) {
      var variant = byId('variant' + k);
      var button = byId('answer' + k);
      variant.textContent = s.variants[k - 1];
      variant.hidden = !isShown(k);
      button.textContent = s.captions[k - 1];
      button.hidden = !isShown(k);
      button.disabled = !s.enabled;
    }
    byId('question-block').hidden = s.phase !== 'question';
    byId('end-block').hidden = !ended;
    document.body.classList.toggle('ended', ended);
    var result = byId('result');
    result.textContent = '';
    s.result.forEach(function (line) {
      var p = document.createElement('p');
      p.textContent = line;
      result.appendChild(p);
    });
    var found = s.phase === 'result';
    byId('result-heading').hidden = !found;
    byId('save-result').hidden = !found;
    byId('print').hidden = !found;

    var box = byId('failure-box');
    var failing = s.failure !== null;
    box.hidden = !failing;
    byId('run').inert = failing;
    byId('run').setAttribute('aria-hidden', failing ? 'true' : 'false');
    if (!failing) byId('failure').textContent = '';
    if (failing) {
      byId('failure-caption').textContent = s.phase === 'norange' ? 'Ошибочная ситуация.' : 'Quorvane';
      byId('failure').textContent = s.failure;
      byId('failure-ok').textContent = s.failureButton;
      byId('failure-ok').focus();
    } else if (ended) {
      (found ? byId('result-heading') : byId('restart')).focus();
    } else if (moved) {
      byId('question').focus();
    }
  }

  // --- The learning platform (SCORM 1.2) ---------------------------------

  function findApi(win) {
    for (var tries = 0; win && tries < 10; tries++) {
      try {
        if (win.API) return win.API;
      } catch (e) { /* a window of another origin */ }
      if (!win.parent || win.parent === win) break;
      win = win.parent;
    }
    return null;
  }

  function connectPlatform() {
    var api = findApi(window.parent !== window ? window.parent : null);
    if (!api) {
      try { if (window.opener) api = findApi(window.opener); } catch (e) { api = null; }
    }
    if (!api) return;
    var started = api.LMSInitialize('');
    if (started === true || started === 'true') platform = api;
  }

  function tellPlatform(name, value) {
    if (platform) platform.LMSSetValue(name, String(value));
  }

  var interactionCount = 0;
  function recordAnswer(s) {
    if (!platform || !s.scoredQuestion) return;
    var at = 'cmi.interactions.' + interactionCount++ + '.';
    tellPlatform(at + 'id', 'q' + s.scoredQuestion);
    tellPlatform(at + 'type', 'choice');
    tellPlatform(at + 'student_response', s.scoredButton);
  }

  function reportEnd(s) {
    if (!platform || reported) return;
    reported = true;
    var score = read(player._qv_platform_score());
    tellPlatform('cmi.core.score.min', score.min);
    tellPlatform('cmi.core.score.max', score.max);
    tellPlatform('cmi.core.score.raw', score.raw);
    var kept = 'total=' + s.total + ';low=' + score.low + ';high=' + score.high;
    if (s.rangeLine !== null) kept += ';range=' + s.rangeLine;
    tellPlatform('cmi.suspend_data', kept.slice(0, 4096));
    tellPlatform('cmi.core.lesson_status', 'completed');
    platform.LMSCommit('');
    platform.LMSFinish('');
    platform = null;
  }

  function leavePlatform() {
    if (!platform) return;
    platform.LMSCommit('');
    platform.LMSFinish('');
    platform = null;
  }

  // --- What the person does ----------------------------------------------

  function answer(k) {
    if (!state || state.phase !== 'question' || state.failure !== null || !isShown(k)) return;
    var before = state;
    lastPressed = byId('answer' + k);
    state = read(player._qv_answer(k));
    recordAnswer(state);
    if (state.phase !== 'question') reportEnd(state);
    draw(state.number !== before.number || state.phase !== before.phase);
  }

  function dismissFailure() {
    if (!state || state.failure === null) return;
    state = read(player._qv_dismiss());
    draw(false);
    if (state.phase === 'question' && lastPressed && !lastPressed.disabled) lastPressed.focus();
  }

  function restart() {
    state = openTest();
    lastPressed = null;
    draw(true);
  }

  function saveResult() {
    var text = state.result.map(function (line) { return line + '\r\n'; }).join('');
    var link = document.createElement('a');
    link.href = URL.createObjectURL(new Blob([text], { type: 'text/plain;charset=utf-8' }));
    link.download = 'Результат тестирования.txt';
    document.body.appendChild(link);
    link.click();
    link.remove();
    setTimeout(function () { URL.revokeObjectURL(link.href); }, 1000);
  }

  // The whole test for paper, with a box for every shown button, and the
  // author's key when the page was made with it.
  function buildPaper() {
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
      var list = add(block, 'ol');
      shown.forEach(function (b) { add(list, 'li', question.variants[b - 1]); });
      var boxes = add(block, 'div', undefined, 'boxes');
      shown.forEach(function (b) { add(boxes, 'span', state.captions[b - 1] || String(b)); });
    });
    if (document.body.getAttribute('data-answer-key') !== '1') return;
    var key = add(paper, 'section', undefined, 'key');
    add(key, 'h2', 'Ключ: баллы за каждую кнопку');
    var table = add(key, 'table');
    var head = add(table, 'tr');
    add(head, 'th', 'Вопрос');
    shown.forEach(function (b) { add(head, 'th', state.captions[b - 1] || String(b)); });
    test.questions.forEach(function (question, i) {
      var row = add(table, 'tr');
      add(row, 'td', String(i + 1));
      shown.forEach(function (b) { add(row, 'td', question.points[b - 1]); });
    });
    add(key, 'h2', 'Диапазоны и сообщения о результатах');
    var messages = add(key, 'div', undefined, 'messages');
    test.messages.forEach(function (line) { add(messages, 'p', line); });
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
    byId('print').addEventListener('click', function () { window.print(); });
    window.addEventListener('pagehide', leavePlatform);
  }

  function start(module) {
    player = module;
    testBytes = decodeBase64(byId('test-data').textContent);
    connectControls();
    connectPlatform();
    state = openTest();
    if (state.count > 0) buildPaper();
    draw(false);
    byId('question').focus();
    document.body.setAttribute('data-ready', '1');
    // When the first question is on screen, for whoever measures the page.
    requestAnimationFrame(function () { performance.mark('quorvane-first-question'); });
  }

  QuorvanePlayer().then(start);
})();
