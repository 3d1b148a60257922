// The page as the teacher's computer serves it to a class: the pupil types a
// name, each press goes to that computer, which answers with the program's
// own run and sends the next question or the outcome. The page holds no
// points, ranges or messages, and keeps only its run's token, so that a
// reload, a locked phone or a dropped network goes on at the same question.
(function () {
  'use strict';

  var byId = function (id) { return document.getElementById(id); };
  var KEY = 'quorvane-class-run';
  var state = null;
  var busy = false;
  var lastPressed = null;

  function keep(token) {
    try {
      if (token) { sessionStorage.setItem(KEY, token); localStorage.setItem(KEY, token); }
      else { sessionStorage.removeItem(KEY); localStorage.removeItem(KEY); }
    } catch (e) { /* storage refused: the run lasts as long as the page */ }
  }

  function kept() {
    try { return sessionStorage.getItem(KEY) || localStorage.getItem(KEY); } catch (e) { return null; }
  }

  function line(text) {
    var l = byId('platform-line');
    l.textContent = text || '';
    l.hidden = !text;
  }

  // A request to the teacher's computer; one the network lost is sent again
  // until it arrives (the server counts a press once however often it comes).
  function call(method, path, body) {
    return new Promise(function (resolve) {
      var attempt = function () {
        fetch(path, {
          method: method, cache: 'no-store',
          headers: body ? { 'Content-Type': 'application/json' } : {},
          body: body ? JSON.stringify(body) : undefined
        }).then(function (response) {
          // A run's record is being written: its outcome follows in a moment.
          if (response.status === 503) { setTimeout(attempt, 500); return; }
          return response.json().then(function (json) {
            line('');
            resolve({ ok: response.ok, status: response.status, json: json });
          });
        }).catch(function () {
          line('Нет связи с компьютером учителя. Ответ будет отправлен, как только связь появится.');
          setTimeout(attempt, 2000);
        });
      };
      attempt();
    });
  }

  function isShown(k) { return QuorvaneView.isShown(state, k); }

  function draw(moved) {
    QuorvaneView.draw(state, moved, { busy: busy, endFocus: 'result' });
    byId('name-block').hidden = true;
    byId('restart').hidden = true;
    byId('print').hidden = true;
  }

  function took(reply) {
    if (reply.status === 404) {  // the run is not known there (the class was started again)
      keep(null);
      askName('');
      return;
    }
    if (reply.status === 409 && state) {  // answered meanwhile (in another tab): the run as it is
      call('GET', '/api/state?token=' + encodeURIComponent(state.token)).then(took);
      return;
    }
    if (!reply.ok) { line(reply.json.error || ''); return; }
    var before = state;
    state = reply.json;
    keep(state.token);
    draw(!before || before.number !== state.number || before.phase !== state.phase);
  }

  function send(path, body) {
    busy = true;
    if (state) draw(false);
    return call('POST', path, body).then(function (reply) {
      busy = false;
      took(reply);
    });
  }

  function answer(k) {
    if (busy || !state || state.phase !== 'question' || state.failure !== null || !isShown(k)) return;
    lastPressed = byId('answer' + k);
    send('/api/answer', { token: state.token, question: state.number, button: k });
  }

  function dismiss() {
    if (busy || !state || state.failure === null) return;
    send('/api/dismiss', { token: state.token }).then(function () {
      if (state.phase === 'question' && lastPressed && !lastPressed.disabled) lastPressed.focus();
    });
  }

  function begin() {
    var name = byId('taker-name').value.trim();
    if (!name) { byId('name-error').textContent = 'Введите имя.'; byId('taker-name').focus(); return; }
    byId('start').disabled = true;
    call('POST', '/api/start', { name: name }).then(function (reply) {
      byId('start').disabled = false;
      if (!reply.ok) { byId('name-error').textContent = reply.json.error || ''; return; }
      took(reply);
    });
  }

  // The name field, before the question block: the pupil is named before the first question.
  function buildNameBlock() {
    var block = document.createElement('section');
    block.id = 'name-block';
    block.hidden = true;
    var label = document.createElement('label');
    label.htmlFor = 'taker-name';
    label.textContent = 'Ваше имя';
    var input = document.createElement('input');
    input.id = 'taker-name';
    input.type = 'text';
    input.maxLength = 100;
    input.autocomplete = 'name';
    var button = document.createElement('button');
    button.type = 'button';
    button.id = 'start';
    button.textContent = 'Начать тест';
    var error = document.createElement('p');
    error.id = 'name-error';
    error.setAttribute('role', 'alert');
    [label, input, button, error].forEach(function (node) { block.appendChild(node); });
    byId('question-block').before(block);
    button.addEventListener('click', begin);
    input.addEventListener('keydown', function (event) {
      if (event.key === 'Enter') { event.preventDefault(); begin(); }
    });
  }

  function askName(title) {
    state = null;
    byId('title').textContent = title;
    byId('progress').textContent = '';
    byId('question-block').hidden = true;
    byId('end-block').hidden = true;
    byId('name-block').hidden = false;
    byId('taker-name').focus();
  }

  function saveResult() { QuorvaneView.saveResult(state); }

  function connect() {
    for (var k = 1; k <= 6; k++) {
      (function (k) {
        byId('answer' + k).addEventListener('click', function (event) {
          if (event.detail > 1) return;  // the second click of a double click is no answer
          answer(k);
        });
      })(k);
    }
    document.addEventListener('keydown', function (event) {
      if (event.key === 'Escape' && state && state.failure !== null) {
        event.preventDefault();
        dismiss();
        return;
      }
      if (event.repeat || event.ctrlKey || event.altKey || event.metaKey) return;
      if (event.target && event.target.tagName === 'INPUT') return;
      if (!/^[1-6]$/.test(event.key) || !state || state.failure !== null) return;
      event.preventDefault();
      answer(Number(event.key));
    });
    byId('failure-ok').addEventListener('click', dismiss);
    byId('save-result').addEventListener('click', saveResult);
  }

  buildNameBlock();
  connect();
  byId('loading').hidden = true;
  var token = kept();
  var ready = function () { document.body.setAttribute('data-ready', '1'); };
  if (token) {
    call('GET', '/api/state?token=' + encodeURIComponent(token)).then(function (reply) {
      took(reply);
      ready();
    });
  } else {
    askName(document.title);
    ready();
  }
})();
