// Drawing a run's state into the page: the same for the page handed out,
// which takes the state from its player, and the page a class is served,
// which takes it from the teacher's computer; and saving the result shown.
var QuorvaneView = (function () {
  'use strict';

  var byId = function (id) { return document.getElementById(id); };

  // Whether answer button `k` (1..6) is shown.
  function isShown(s, k) { return k === 1 || k <= s.shown; }

  // `options.busy`: the buttons wait for an answer; `options.endFocus`: the
  // control that takes the focus when a run ends without a result block.
  function draw(s, moved, options) {
    var ended = s.phase !== 'question' && s.failure === null;
    document.title = s.caption || s.title || document.title;
    byId('title').textContent = s.title;
    byId('author').textContent = s.author;
    byId('progress').textContent = s.phase === 'question' && s.count > 0
      ? 'Вопрос ' + s.number + ' из ' + s.count : '';
    byId('question').textContent = s.question;
    var anyVariant = false;
    for (var k = 1; k <= 6; k++) {
      var variant = byId('variant' + k);
      var button = byId('answer' + k);
      variant.textContent = s.variants[k - 1];
      variant.hidden = !isShown(s, k);
      if (isShown(s, k) && s.variants[k - 1] !== '') anyVariant = true;
      button.textContent = s.captions[k - 1];
      button.hidden = !isShown(s, k);
      button.disabled = !s.enabled || options.busy;
    }
    // A test without variants has no numbered list to show.
    byId('variants').hidden = !anyVariant;
    byId('question-block').hidden = s.phase !== 'question';
    byId('end-block').hidden = !ended;
    document.body.classList.toggle('ended', ended);
    var result = byId('result');
    result.textContent = '';
    var lines = s.explanation !== null && s.failure === null ? [s.explanation] : s.result;
    lines.forEach(function (line) {
      var p = document.createElement('p');
      p.textContent = line;
      result.appendChild(p);
    });
    var found = s.phase === 'result';
    byId('result-heading').hidden = !found;
    byId('save-result').hidden = !found;

    var failing = s.failure !== null;
    byId('failure-box').hidden = !failing;
    byId('run').inert = failing;
    byId('run').setAttribute('aria-hidden', failing ? 'true' : 'false');
    if (!failing) byId('failure').textContent = '';
    if (failing) {
      byId('failure-caption').textContent = s.failureCaption;
      byId('failure').textContent = s.failure;
      byId('failure-ok').textContent = s.failureButton;
      byId('failure-ok').focus();
    } else if (ended) {
      (found ? byId('result-heading') : byId(options.endFocus)).focus();
    } else if (moved) {
      byId('question').focus();
    }
  }

  // The chosen result as a text file the browser saves, a line per line of
  // the block, under the name the desktop proposes.
  function saveResult(s) {
    var text = s.result.map(function (line) { return line + '\r\n'; }).join('');
    var link = document.createElement('a');
    link.href = URL.createObjectURL(new Blob([text], { type: 'text/plain;charset=utf-8' }));
    link.download = 'Результат тестирования.txt';
    document.body.appendChild(link);
    link.click();
    link.remove();
    setTimeout(function () { URL.revokeObjectURL(link.href); }, 1000);
  }

  return { draw: draw, isShown: isShown, saveResult: saveResult };
})();
