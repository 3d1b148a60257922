// The learning platform a page in a SCORM 1.2 package reports to: the
// attempt's status, each answer, the score and what a teacher reads, and the
// presses so far when the taker leaves before the end, so that the next
// entry goes on at the same question. A failing platform is told of once in
// one line; the run on the page goes on as it would without one.
var quorvanePlatform = (function () {
  'use strict';

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

  function pad(n, width) {
    var text = String(n);
    while (text.length < width) text = '0' + text;
    return text;
  }

  // SCORM 1.2's time span (HH:MM:SS.SS) and time of day (HH:MM:SS).
  function timespan(ms) {
    var cs = Math.max(0, Math.floor(ms / 10));
    return pad(Math.floor(cs / 360000), 2) + ':' + pad(Math.floor(cs / 6000) % 60, 2) + ':' +
      pad(Math.floor(cs / 100) % 60, 2) + '.' + pad(cs % 100, 2);
  }

  function clock(date) {
    return pad(date.getHours(), 2) + ':' + pad(date.getMinutes(), 2) + ':' + pad(date.getSeconds(), 2);
  }

  // What the page keeps in cmi.suspend_data: "presses=1213" while the run
  // goes on; at its end ";total=..;low=..;high=.." and ";range=" with the
  // range line, last, as it may hold any character.
  function readKept(text) {
    var kept = {};
    text = String(text || '');
    var at = text.indexOf(';range=');
    if (at >= 0) {
      kept.range = text.slice(at + 7);
      text = text.slice(0, at);
    }
    text.split(';').forEach(function (field) {
      var is = field.indexOf('=');
      if (is > 0) kept[field.slice(0, is)] = field.slice(is + 1);
    });
    if (!/^[1-6]*$/.test(kept.presses || '')) kept.presses = '';
    return kept;
  }

  function Link(api, trouble) {
    this.api = api;
    this.trouble = trouble;
    this.began = Date.now();
    this.interactions = 0;
    this.mode = 'off';  // 'open' while a run is sent, 'done' once sent, 'recorded', 'left'
    this.resume = '';   // the presses to go on from
    this.recorded = null;  // what was kept of a completed attempt
    if (!this.call('LMSInitialize', [''])) return;
    var status = this.get('cmi.core.lesson_status');
    var kept = readKept(this.get('cmi.suspend_data'));
    this.interactions = Number(this.get('cmi.interactions._count')) || 0;
    if (status === 'completed' || status === 'passed' || status === 'failed') {
      // A completed attempt is never overwritten by another run in it.
      this.mode = 'recorded';
      this.recorded = kept;
      return;
    }
    this.mode = 'open';
    if (this.get('cmi.core.entry') === 'resume') this.resume = kept.presses;
    // A platform that did not take "incomplete" is not finished either: it
    // would record the attempt as completed.
    this.statusSet = this.set('cmi.core.lesson_status', 'incomplete');
    if (this.statusSet) this.call('LMSCommit', ['']);
  }

  Link.prototype.call = function (name, args) {
    var answer;
    try {
      answer = this.api[name].apply(this.api, args);
    } catch (e) {
      this.report(null);
      return false;
    }
    if (answer === false || answer === 'false') {
      this.report(this.errorNumber());
      return false;
    }
    return true;
  };

  Link.prototype.errorNumber = function () {
    try {
      var number = String(this.api.LMSGetLastError());
      return number && number !== '0' ? number : null;
    } catch (e) {
      return null;
    }
  };

  Link.prototype.report = function (number) {
    if (this.reported) return;
    this.reported = true;
    this.trouble('Система обучения не записала результат (' +
      (number === null ? 'ошибка без номера' : 'ошибка ' + number) + ').');
  };

  Link.prototype.get = function (name) {
    try {
      return String(this.api.LMSGetValue(name));
    } catch (e) {
      return '';
    }
  };

  Link.prototype.set = function (name, value) {
    return this.call('LMSSetValue', [name, String(value)]);
  };

  Link.prototype.finish = function (mode) {
    this.set('cmi.core.session_time', timespan(Date.now() - this.began));
    this.call('LMSCommit', ['']);
    if (this.statusSet) this.call('LMSFinish', ['']);
    this.mode = mode;
  };

  // A press the run took: question `question` answered with `button`.
  Link.prototype.answered = function (question, button, presses) {
    if (this.mode !== 'open') return;
    var at = 'cmi.interactions.' + this.interactions++ + '.';
    this.set(at + 'id', 'q' + question);
    this.set(at + 'type', 'choice');
    this.set(at + 'student_response', button);
    this.set(at + 'time', clock(new Date()));
    this.set('cmi.suspend_data', 'presses=' + presses);
  };

  // The run stopped on a failure of the test: the attempt stays incomplete.
  Link.prototype.failed = function (text) {
    if (this.mode !== 'open') return;
    this.set('cmi.comments', ('Прохождение остановилось на ошибке теста: ' + text).slice(0, 4096));
    this.call('LMSCommit', ['']);
  };

  // The run's end: `score` as the player gives it, the range line or null.
  Link.prototype.ended = function (score, presses, rangeLine) {
    if (this.mode !== 'open') return;
    if (score.raw !== null) {
      this.set('cmi.core.score.min', 0);
      this.set('cmi.core.score.max', 100);
      this.set('cmi.core.score.raw', score.raw);
    }
    var kept = 'presses=' + presses + ';total=' + score.total;
    if (score.low !== null) kept += ';low=' + score.low + ';high=' + score.high;
    if (rangeLine !== null) kept += ';range=' + rangeLine;
    this.set('cmi.suspend_data', kept.slice(0, 4096));
    this.set('cmi.comments', score.comment.slice(0, 4096));
    if (this.set('cmi.core.lesson_status', 'completed')) this.statusSet = true;
    this.set('cmi.core.exit', '');
    this.finish('done');
  };

  // The taker leaves the page.
  Link.prototype.leave = function () {
    if (this.mode === 'open') {
      this.set('cmi.core.exit', 'suspend');
      this.finish('left');
    } else if (this.mode === 'recorded') {
      this.call('LMSFinish', ['']);
      this.mode = 'left';
    }
  };

  // True once nothing more of this visit goes to the platform.
  Link.prototype.sent = function () {
    return this.mode === 'done' || this.mode === 'recorded';
  };

  // The platform's link, or null when the page is not in one. `trouble` is
  // given the line to show when the platform fails.
  return function (trouble) {
    var api = findApi(window.parent !== window ? window.parent : null);
    if (!api) {
      try { if (window.opener) api = findApi(window.opener); } catch (e) { api = null; }
    }
    return api ? new Link(api, trouble) : null;
  };
})();
