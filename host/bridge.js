// The bridge: what the old browser gave Lumorel's pages, for a modern
// browser and the browser host. Loaded first in every HTML page the host
// serves. It makes each EnumImg object element a proxy of a control in the
// host, brings the control's events to the page's handlers, shows the
// control's dialogs inside the page, maps "lm:" addresses and picture texts
// to the host's routes, and supplies showModalDialog. In the browser's
// events worker the same script relays the controls' events to the pages.
(function () {
  'use strict';

  var CLASS_ID = 'clsid:5a3e9d11-2c4b-4e7f-8a61-0d2f4b7c9e01';
  // This script's address: every page loads it, and the events worker is
  // made from it.
  var ADDRESS = self.document ? document.currentScript.src : self.location.href;

  // The control's members: kinds with their parameter counts. Three open a
  // dialog; through the bridge they answer later, through a continuation
  // given as their last argument.
  var MEMBERS = {
    SetParentDir: { method: 3 }, PreviousName: { get: 0 }, CurrentName: { get: 0 },
    NextName: { get: 0 }, Next: { method: 0 }, Previous: { method: 0 }, Rewind: { method: 0 },
    RemoveCurrent: { method: 0, later: true }, Version: { get: 0 }, QuitIt: { method: 0 },
    CurrentShortName: { get: 0 }, JumpTo: { method: 1 },
    PromptForPath: { method: 2, later: true }, Exists: { get: 1 },
    Preference: { get: 1, put: 2 }, LoadDone: { get: 0 }, CurrentFileSize: { get: 0 },
    FileCount: { get: 0 }, StartTimer: { method: 1 }, StopTimer: { method: 0 },
    DirCount: { get: 0 }, Rename: { method: 1 }, OrganizeImages: { method: 0, later: true },
    JumpToNextDir: { method: 0 }, JumpToRandom: { method: 0 }, JumpToPreviousDir: { method: 0 },
    RestrictOnlyDuplicates: { method: 2 }, DuplicateStatus: { get: 0 },
    AddUrlImage: { method: 1 }, SaveWindowLoc: { method: 1 }, ForceImgDraw: { method: 0 },
    ScrapeUrl: { method: 3 }, CurrentMidi: { get: 1 }
  };
  var EVENTS = { OnLoadDone: 300, OnTimer: 301, OnDupDone: 302, OnOrganizeDone: 303 };
  // The messages of a control's stream: its events (by name, or "event" with
  // a bare DISPID), its dialog requests, quit and resize, and the outcomes of
  // the calls that answer later.
  var MESSAGES = Object.keys(EVENTS).concat(['event', 'dialog', 'quit', 'resize', 'result']);
  // The name of the lock a page holds while it lives, with its control's id.
  var LOCK = 'lumorel-control-';
  // The name of the lock a window holds while it lives, with its own id.
  var PAGE_LOCK = 'lumorel-page-';
  var PICTURE_MEMBERS = { PreviousName: 1, CurrentName: 1, NextName: 1, CurrentMidi: 1 };
  var byLowerName = {};
  Object.keys(MEMBERS).concat(Object.keys(EVENTS)).forEach(function (name) {
    byLowerName[name.toLowerCase()] = name;
  });

  var unloading = false;
  // Picture texts the controls handed out: shown through the picture route.
  var pictureTexts = Object.create(null);

  // In the events worker there is no page: the script only relays.
  if (!self.document) {
    relayEvents();
    return;
  }

  // --- Texts as bytes ---

  // The bytes of a script text as the host reads them: UTF-8, except that a
  // lone U+DC80..U+DCFF stands for the byte it carries (a file name that is
  // not UTF-8), percent-encoded for an address.
  function percentBytes(text) {
    var out = '';
    function add(b) { out += '%' + (b < 16 ? '0' : '') + b.toString(16).toUpperCase(); }
    for (var ch of text) {
      var c = ch.codePointAt(0);
      if (c >= 0xDC80 && c <= 0xDCFF) add(c - 0xDC00);
      else if (/[A-Za-z0-9\-_.~\/]/.test(ch)) out += ch;
      else if (c < 0x80) add(c);
      else if (c < 0x800) { add(0xC0 | (c >> 6)); add(0x80 | (c & 63)); }
      else if (c < 0x10000) { add(0xE0 | (c >> 12)); add(0x80 | ((c >> 6) & 63)); add(0x80 | (c & 63)); }
      else {
        add(0xF0 | (c >> 18)); add(0x80 | ((c >> 12) & 63));
        add(0x80 | ((c >> 6) & 63)); add(0x80 | (c & 63));
      }
    }
    return out;
  }

  // --- Addresses ---

  function pictureAddress(text) {
    var path = null;
    if (/^file:\/\//i.test(text)) path = text.slice(7);
    else if (text.charAt(0) === '/' && pictureTexts[text]) path = text;
    if (path === null) return null;
    return '/.lumorel/picture?path=' + percentBytes(path);
  }

  // An "lm:" address becomes the host's route; a picture text the picture
  // route; anything else stays as it is.
  function mapAddress(value) {
    if (typeof value !== 'string') return value;
    if (/^lm:/i.test(value)) return '/' + value;
    var picture = pictureAddress(value);
    return picture === null ? value : picture;
  }

  function mapProperty(proto, name) {
    var d = proto && Object.getOwnPropertyDescriptor(proto, name);
    if (!d || !d.set) return;
    Object.defineProperty(proto, name, {
      configurable: true, enumerable: d.enumerable, get: d.get,
      set: function (v) { d.set.call(this, mapAddress(String(v))); }
    });
  }
  [['HTMLImageElement', 'src'], ['HTMLScriptElement', 'src'], ['HTMLIFrameElement', 'src'],
   ['HTMLFrameElement', 'src'], ['HTMLEmbedElement', 'src'], ['HTMLSourceElement', 'src'],
   ['HTMLInputElement', 'src'], ['HTMLAnchorElement', 'href'], ['HTMLAreaElement', 'href'],
   ['HTMLLinkElement', 'href']].forEach(function (p) {
    if (window[p[0]]) mapProperty(window[p[0]].prototype, p[1]);
  });
  var setAttribute = Element.prototype.setAttribute;
  Element.prototype.setAttribute = function (name, value) {
    if (/^(src|href)$/i.test(name)) value = mapAddress(String(value));
    return setAttribute.call(this, name, value);
  };
  // window.open with the old browser's "fullscreen=yes": the window opens
  // as large as the screen, and its page asks the browser for full screen at
  // the user's first key or click (a browser grants that only then). Whether
  // a window is full screen is its opener's choice alone.
  var open = window.open;
  var fullScreenWindows = [];  // windows this page opened full screen
  var openedWindows = [];      // every window this page opened
  window.open = function (url, name, features) {
    var full = typeof features === 'string' &&
        /(^|,)\s*fullscreen\s*=\s*(yes|1|true)\s*(,|$)/i.test(features);
    var opened = open.call(window, mapAddress(url), name === undefined ? '' : name,
                           full ? screenFeatures(features) : features);
    fullScreenWindows = fullScreenWindows.filter(function (w) { return !w.closed; });
    if (full && opened) fullScreenWindows.push(opened);
    if (opened) openedWindows.push(opened);
    return opened;
  };

  // `features` with the window's place and size replaced by the screen's.
  function screenFeatures(features) {
    var kept = features.split(',').filter(function (part) {
      return !/^\s*(top|left|width|height|fullscreen)\s*=/i.test(part) && part.trim() !== '';
    });
    return kept.concat(['left=' + (screen.availLeft || 0), 'top=' + (screen.availTop || 0),
                        'width=' + screen.availWidth, 'height=' + screen.availHeight]).join(',');
  }

  // True when this window's opener opened it full screen (see window.open);
  // then the first key or click asks for full screen.
  function openedFullScreen() {
    try {
      var opener = window.opener;
      return !!(opener && opener.lumorel && opener.lumorel.openedFullScreen(window));
    } catch (e) {
      return false;  // an opener of another origin, or one that has gone
    }
  }

  // Asks for full screen at the first key or click, and again at the next
  // one whenever the window has left it (the browser leaves it for an
  // alert, say): the old browser kept such a window full screen throughout.
  function askFullScreenAtGestures() {
    var root = document.documentElement;
    if (!root.requestFullscreen) return;
    function ask(e) {
      // Esc is how the user leaves full screen, never how it comes.
      if (e.type === 'keydown' && e.key === 'Escape') return;
      if (document.fullscreenElement) return;
      var asked = root.requestFullscreen();
      if (asked && asked.catch) asked.catch(function () { /* refused: asked again next time */ });
    }
    window.addEventListener('keydown', ask, true);
    window.addEventListener('mousedown', ask, true);
  }
  if (openedFullScreen()) askFullScreenAtGestures();
  if (window.navigation) {
    // location = "lm:..." and its like.
    window.navigation.addEventListener('navigate', function (e) {
      var url = e.destination && e.destination.url;
      if (url && /^lm:/i.test(url) && e.cancelable) {
        e.preventDefault();
        location.href = '/' + url;
      }
    });
  }

  // Markup as written: addresses in attributes, and the objects.
  function adopt(node) {
    if (node.nodeType !== 1) return;
    var all = [node].concat(Array.prototype.slice.call(node.querySelectorAll('*')));
    all.forEach(function (el) {
      ['src', 'href'].forEach(function (attr) {
        var v = el.getAttribute(attr);
        if (v !== null) {
          var mapped = mapAddress(v);
          if (mapped !== v) setAttribute.call(el, attr, mapped);
        }
      });
      if (el.tagName === 'OBJECT' && (el.getAttribute('classid') || '').toLowerCase() === CLASS_ID)
        makeControl(el);
    });
  }
  new MutationObserver(function (records) {
    records.forEach(function (r) { r.addedNodes.forEach(adopt); });
  }).observe(document, { childList: true, subtree: true });
  document.addEventListener('DOMContentLoaded', function () { adopt(document.documentElement); });

  // --- Requests ---

  function placement() {
    return { left: Math.round(window.screenX), top: Math.round(window.screenY),
             width: Math.round(window.outerWidth), height: Math.round(window.outerHeight) };
  }

  // The calls the page waited for: `requests` went to the host (each a
  // round trip through the browser), `fromSnapshot` were answered from a
  // control's snapshot. Read by tests and measurements.
  var calls = { requests: 0, fromSnapshot: 0 };

  function request(method, path, body, wait, done) {
    var text = body === undefined ? '' : JSON.stringify(body);
    if (wait) calls.requests++;
    // The cookie the host set on the first visit goes with every request.
    var headers = { 'Content-Type': 'application/json' };
    if (unloading) {
      // Browsers refuse synchronous requests while a page goes away.
      fetch(path, { method: method, headers: headers, keepalive: true,
                    body: method === 'GET' ? undefined : text });
      return null;
    }
    var xhr = new XMLHttpRequest();
    xhr.open(method, path, !wait);
    for (var h in headers) xhr.setRequestHeader(h, headers[h]);
    if (!wait) {
      xhr.onload = function () { done(xhr); };
      xhr.onerror = function () {
        hostUnreachable();
        done(xhr);
      };
    }
    try {
      xhr.send(text);
    } catch (e) {
      // A request that waits fails here when nothing answers.
      hostUnreachable();
      throw e;
    }
    if (wait && xhr.status === 0) hostUnreachable();
    return xhr;
  }

  // The host has ended or cannot be reached: the page says so, once, above
  // everything else in its window, instead of failing without a word.
  var UNREACHABLE = 'Lumorel is not running. Start it again and reload this page.';
  function hostUnreachable() {
    if (!self.document) return;  // the events worker: its pages tell
    var doc = document;
    try {
      if (window.top.document) doc = window.top.document;  // a dialog's frame: its window's page
    } catch (e) {
      doc = document;
    }
    if (doc.getElementById('lumorel-unreachable')) return;
    var notice = doc.createElement('div');
    notice.id = 'lumorel-unreachable';
    notice.setAttribute('role', 'alert');
    notice.style.cssText = 'position:fixed;left:0;right:0;top:0;z-index:2147483647;' +
        'background:#fff3c4;color:#000;border-bottom:1px solid #a08000;padding:8px 10px;' +
        'font:bold 13px sans-serif;text-align:center';
    notice.textContent = UNREACHABLE;
    (doc.body || doc.documentElement).appendChild(notice);
  }

  // A call's answer ({"hr", "value"}), or {"error"} when it failed.
  function answerOf(xhr) {
    var answer = null;
    try { answer = JSON.parse(xhr.responseText); } catch (e) { answer = null; }
    return xhr.status === 200 ? answer : { error: answer && answer.error };
  }

  // The value a call's answer gives, or the failure it reports.
  function valueOf(answer, member) {
    if (!answer || answer.error !== undefined) {
      throw new Error('lm.' + member + ': ' + (answer && answer.error || 'no answer from Lumorel'));
    }
    if (answer.hr < 0) {
      var failure = new Error('lm.' + member + ' failed (0x' + (answer.hr >>> 0).toString(16) + ')');
      failure.number = answer.hr;
      throw failure;
    }
    if (PICTURE_MEMBERS[member] && typeof answer.value === 'string' &&
        (/^file:\/\//i.test(answer.value) || answer.value.charAt(0) === '/')) {
      pictureTexts[answer.value] = true;
    }
    return answer.value === null ? undefined : answer.value;
  }

  // --- Controls ---

  function Control(element) {
    var created = request('POST', '/.lumorel/controls', undefined, true);
    var answer = JSON.parse(created.responseText);
    if (created.status !== 200) throw new Error('Lumorel: ' + answer.error);
    this.element = element;
    this.controlId = answer.id;
    this.base = '/.lumorel/controls/' + answer.id;
    this.handlers = {};       // event name: functions given by attachEvent
    this.properties = {};     // event name: the function set as lm.OnX
    this.waiting = {};        // number of a call that answers later: its member and continuation
    this.snapshot = null;     // the reads the page may answer itself, while it holds
    controls.push(this);
    this.connect();
  }

  // The page's controls, in the order they were made.
  var controls = [];

  // Numbers the calls that answer later, across the page's controls.
  var laterCalls = 0;

  Control.prototype.call = function (member, kind, args, later) {
    var body = { member: member, kind: kind, args: args, window: placement() };
    if (unloading) {
      // Sent without waiting for the answer (SaveWindowLoc on unload).
      this.snapshot = null;
      request('POST', this.base + '/call', body, true);
      return undefined;
    }
    if (!later) {
      if (this.holds(member, args)) {
        calls.fromSnapshot++;
        return valueOf({ hr: 0, value: this.snapshot.answers[member] }, member);
      }
      var answer = answerOf(request('POST', this.base + '/call', body, true));
      this.keep(answer);
      return valueOf(answer, member);
    }
    // The host answers at once and sends the outcome as a "result" message
    // once the member returns: no connection waits while its dialog does.
    // The call may change anything meanwhile.
    this.snapshot = null;
    var self = this;
    var number = ++laterCalls;
    this.waiting[number] = { member: member, then: later };
    body.later = number;
    request('POST', this.base + '/call', body, false, function (xhr) {
      if (xhr.status !== 202) self.settle(number, answerOf(xhr));
    });
    return undefined;
  };

  // --- The snapshot ---
  //
  // The answer to a call that moves through the pictures (or changes the
  // lists or the heartbeat) carries a snapshot of what the page reads next:
  // the names around the current picture, the counts, and which calls would
  // change nothing (StopTimer while no heartbeat runs). The page answers
  // those from it instead of asking the host, which saves a round trip
  // each. The host decides what a snapshot holds and which calls carry one;
  // every answer tells the control's version, and a snapshot holds only
  // while the version stays its own. Any message of the control (an event,
  // a dialog, a result) ends it, as does a call that answers later, since
  // each may come with a change the snapshot does not show; so does a break
  // of the stream, which may have lost messages. A page turns
  // snapshots off with `lumorelSnapshot = false` (for tests).

  function snapshotsOn() { return window.lumorelSnapshot !== false; }

  // True when the snapshot answers `member` called with `args`.
  Control.prototype.holds = function (member, args) {
    return snapshotsOn() && this.snapshot !== null && args.length === 0 &&
        Object.prototype.hasOwnProperty.call(this.snapshot.answers, member);
  };

  // Keeps the snapshot that `answer` carries, or the one the page has while
  // the control's version is still its own; else none.
  Control.prototype.keep = function (answer) {
    var fresh = answer && answer.snapshot;
    if (fresh && snapshotsOn() && Object.keys(this.waiting).length === 0) {
      this.snapshot = fresh;
    } else if (this.snapshot === null || !answer || answer.version !== this.snapshot.version) {
      this.snapshot = null;
    }
  };

  // The call `number` that answers later has its answer: its continuation
  // gets the value, or the failure is reported.
  Control.prototype.settle = function (number, answer) {
    var call = this.waiting[number];
    if (!call) return;
    delete this.waiting[number];
    var value, failure = null;
    try { value = valueOf(answer, call.member); } catch (e) { failure = e; }
    if (failure) return report(failure);
    if (typeof call.then === 'function') call.then(value);
  };

  // The control's messages come through the events worker, or where there
  // is none through a stream of its own.
  Control.prototype.connect = function () {
    var port = relayPort();
    if (!port) return this.listen();
    var id = this.controlId;
    relayed[id] = this;
    // Subscribed at once: a message for the control (a quit, say) must not
    // wait for the lock below, whose grant can come late.
    port.postMessage({ subscribe: [id] });
    if (!navigator.locks) return;
    // The page holds a lock named after the control for as long as it
    // lives; once it does, the worker waits for it, and so learns when the
    // page is gone even where it went without a word (a crash).
    navigator.locks.request(LOCK + id, function () {
      port.postMessage({ watch: [id] });
      return new Promise(function () {});
    });
  };

  Control.prototype.listen = function () {
    var self = this;
    var source = new EventSource(this.base + '/events');
    this.source = source;
    MESSAGES.forEach(function (name) {
      source.addEventListener(name, function (e) { self.receive(name, JSON.parse(e.data)); });
    });
    // Messages may have been lost: the snapshot ends.
    source.addEventListener('error', function () { self.snapshot = null; });
  };

  // A message of the control's stream.
  Control.prototype.receive = function (name, data) {
    this.snapshot = null;
    if (EVENTS[name] || name === 'event') return this.fire(name === 'event' ? data.dispid : name);
    if (name === 'dialog') return showDialog(this, data);
    if (name === 'quit') return quit();
    if (name === 'resize') {
      if (window.opener) window.resizeTo(window.outerWidth, data.height);
      return;
    }
    if (name === 'result') this.settle(data.later, data);
  };

  // Runs the page's handlers of the event `name` (or of a bare DISPID).
  Control.prototype.fire = function (name) {
    var handlers = [];
    if (typeof name === 'string') {
      if (typeof this.properties[name] === 'function') handlers.push(this.properties[name]);
      handlers = handlers.concat(this.handlers[name] || []);
      var id = this.id;
      // <script for="lm" event="OnLoadDone()">, which the old browser ran as
      // the event's handler.
      document.querySelectorAll('script[for][event]').forEach(function (s) {
        if (s.getAttribute('for') !== id) return;
        if (s.getAttribute('event').replace(/\s|\(\)/g, '').toLowerCase() !== name.toLowerCase()) return;
        if (!s.lumorelHandler) s.lumorelHandler = new Function(s.text);
        handlers.push(s.lumorelHandler);
      });
    }
    var element = this.element;
    handlers.forEach(function (f) {
      try { f.call(element); } catch (e) { report(e); }
    });
  };

  // An error in a handler reaches window.onerror, as it did in the old
  // browser, without stopping the other handlers.
  function report(error) { setTimeout(function () { throw error; }, 0); }

  var proxies = Object.create(null);
  var getElementById = Document.prototype.getElementById;
  Document.prototype.getElementById = function (id) {
    return proxies[id] || getElementById.call(this, id);
  };

  function makeControl(element) {
    if (element.lumorelControl) return;
    var control = new Control(element);
    element.lumorelControl = control;
    var proxy = new Proxy(element, {
      get: function (target, prop) {
        if (typeof prop !== 'string') return target[prop];
        var name = byLowerName[prop.toLowerCase()];
        if (name && EVENTS[name]) return control.properties[name];
        var m = name && MEMBERS[name];
        if (!m) {
          if (prop === 'attachEvent' || prop === 'addEventListener') {
            return function (event, f) {
              var n = byLowerName[String(event).replace(/^on(?=on)/i, '').toLowerCase()];
              if (!n || !EVENTS[n]) return prop === 'attachEvent' ? false : undefined;
              (control.handlers[n] = control.handlers[n] || []).push(f);
              return prop === 'attachEvent' ? true : undefined;
            };
          }
          if (prop === 'detachEvent' || prop === 'removeEventListener') {
            return function (event, f) {
              var n = byLowerName[String(event).toLowerCase()];
              var list = n && control.handlers[n];
              if (list && list.indexOf(f) >= 0) list.splice(list.indexOf(f), 1);
            };
          }
          var v = target[prop];
          return typeof v === 'function' ? v.bind(target) : v;
        }
        if (m.get === 0 && m.method === undefined) return control.call(name, 'get', []);
        return function () {
          var args = Array.prototype.slice.call(arguments);
          var later = null;
          if (m.later) {
            later = typeof args[args.length - 1] === 'function' ? args.pop() : true;
          }
          if (m.put !== undefined && args.length === m.put) return control.call(name, 'put', args);
          var kind = m.method !== undefined ? 'method' : 'get';
          return control.call(name, kind, args, later);
        };
      },
      set: function (target, prop, value) {
        var name = typeof prop === 'string' && byLowerName[prop.toLowerCase()];
        if (name && EVENTS[name]) { control.properties[name] = value; return true; }
        if (name && MEMBERS[name] && MEMBERS[name].put === 1) {
          control.call(name, 'put', [value]);
          return true;
        }
        target[prop] = value;
        return true;
      }
    });
    var id = element.id;
    if (id) {
      // The element gives up its id, so that the name finds the proxy also
      // where the document's named elements come first (inline handlers).
      control.id = id;
      element.removeAttribute('id');
      element.setAttribute('data-lumorel-id', id);
      window[id] = proxy;
      proxies[id] = proxy;
    }
    element.lumorelProxy = proxy;
  }

  // --- Events: one stream for every page of the browser ---

  // The browser keeps a few connections to the host, and an event stream
  // holds one for good: so the controls of all pages share one stream. The
  // events worker, a SharedWorker that runs this same script, holds it and
  // passes each message to the page of its control; the page tells the
  // worker which controls are its own.
  var relay = null;                   // the port to the events worker, once made
  var relayFailed = false;            // the worker did not start: no relay
  var relayed = Object.create(null);  // control id: Control, for the relay's messages

  // The port to the events worker; null where there is none.
  function relayPort() {
    if (relay || relayFailed || typeof SharedWorker !== 'function') return relay;
    var worker;
    try { worker = new SharedWorker(ADDRESS, { name: 'lumorel-events' }); } catch (e) { relayFailed = true; return null; }
    relay = worker.port;
    relay.onmessage = function (e) {
      if (e.data.broken) return controls.forEach(function (control) { control.snapshot = null; });
      if (e.data.alone) return listenAlone();
      var control = relayed[e.data.control];
      if (control) control.receive(e.data.event, e.data.data);
    };
    worker.onerror = listenAlone;
    return relay;
  }

  // The worker did not start, or the host refused it a stream: each
  // control listens on a stream of its own.
  function listenAlone() {
    relayFailed = true;
    if (relay) relay.close();
    relay = null;
    Object.keys(relayed).forEach(function (id) {
      var control = relayed[id];
      delete relayed[id];
      control.listen();
    });
  }

  // A page that is hidden lets its controls go (the host closes them after
  // its grace); one that comes back from the browser's cache takes them
  // again.
  window.addEventListener('pagehide', function () {
    // Its messages no longer come, and the host may close its controls.
    controls.forEach(function (control) { control.snapshot = null; });
    if (relay) relay.postMessage({ unsubscribe: Object.keys(relayed) });
  });
  window.addEventListener('pageshow', function (e) {
    if (relay && e.persisted) relay.postMessage({ subscribe: Object.keys(relayed) });
  });

  // --- Presence: the host ends once no page of it lives ---

  // Every window of Lumorel, with a control or without, tells the events
  // worker that it lives; the worker holds the host's stream while any
  // window (or control) does, and the host ends a little after the last
  // stream has gone. A window that Exit could not close stops counting.
  var pageId = null;     // this window's name with the worker, once it has one
  var present = false;   // the worker counts this window

  function setPresent(on) {
    var port = relayPort();
    if (!port || pageId === null || on === present) return;
    present = on;
    port.postMessage(on ? { present: pageId } : { absent: pageId });
  }

  function enterPresence() {
    if (window.top !== window || !relayPort()) return;  // a dialog's frame lives in its window
    pageId = Math.random().toString(16).slice(2) + Date.now().toString(16);
    setPresent(true);
    if (!navigator.locks) return;
    // Held while the page lives; once the page holds it, the worker waits
    // for it, and so learns when the page is gone even where it went
    // without a word. The page counts from the start, not from the grant:
    // a grant can come late (or not at all while the page is busy).
    navigator.locks.request(PAGE_LOCK + pageId, function () {
      if (!ended && relay) relay.postMessage({ watchPage: pageId });
      return new Promise(function () {});
    });
  }


  // A page that Exit ended but its browser would not close: it is gone for
  // Lumorel. It stores what its unload stores, lets its controls go and no
  // longer counts as a live window.
  var ended = false;
  function endPage() {
    if (ended) return;
    ended = true;
    runUnload();
    setPresent(false);
    if (relay) relay.postMessage({ unsubscribe: Object.keys(relayed) });
    controls.forEach(function (control) { if (control.source) control.source.close(); });
  }

  window.addEventListener('pagehide', function () { setPresent(false); });
  window.addEventListener('pageshow', function (e) { if (e.persisted && !ended) setPresent(true); });

  // The events worker: one stream from the host for the controls of every
  // page connected to it, each message passed to the page of its control.
  // A page's controls leave the stream when it says so or its port closes.
  function relayEvents() {
    var owners = Object.create(null);   // control id: the port of its page
    var stream = null;                  // the host's id of the stream, once it has said it
    var carried = Object.create(null);  // control ids the host was asked to carry
    var busy = false;                   // a change of the subscriptions is on its way
    var alone = false;                  // the host refused the stream for good

    // Brings the host's subscriptions in line with the pages', one change
    // at a time so that the changes reach the host in order.
    function update() {
      if (busy || stream === null) return;
      var subscribe = Object.keys(owners).filter(function (id) { return !carried[id]; });
      var unsubscribe = Object.keys(carried).filter(function (id) { return !owners[id]; });
      if (!subscribe.length && !unsubscribe.length) return;
      subscribe.forEach(function (id) { carried[id] = true; });
      unsubscribe.forEach(function (id) { delete carried[id]; });
      busy = true;
      request('POST', '/.lumorel/controls/events/' + stream,
              { subscribe: subscribe, unsubscribe: unsubscribe }, false, function () {
        busy = false;
        update();
      });
    }

    var present = Object.create(null);  // page id: the port of a live window
    var source = null;                  // the stream from the host, while one is needed

    // The stream is open while a window lives or a control is carried: the
    // host counts its open streams as its live pages.
    function settle() {
      var needed = Object.keys(present).length > 0 || Object.keys(owners).length > 0;
      if (needed && !source && !alone) openStream();
      if (!needed && source) {
        source.close();
        source = null;
        stream = null;
      }
      update();
    }

    function openStream() {
      var opened = new EventSource('/.lumorel/controls/events');
      source = opened;
      opened.onerror = function () {
        var ports = new Set(Object.keys(owners).map(function (id) { return owners[id]; }));
        // Messages may have been lost: the pages' snapshots end.
        ports.forEach(function (port) { port.postMessage({ broken: true }); });
        // A broken connection is opened again; a refusal is not.
        if (opened.readyState !== EventSource.CLOSED || source !== opened) return;
        alone = true;
        ports.forEach(function (port) { port.postMessage({ alone: true }); });
      };
      opened.addEventListener('stream', function (e) {
        // A new stream (the first, or one after the connection broke)
        // carries nothing yet.
        stream = JSON.parse(e.data).stream;
        carried = Object.create(null);
        update();
      });
      MESSAGES.forEach(function (name) {
        opened.addEventListener(name, function (e) {
          var message = JSON.parse(e.data);
          var port = owners[message.control];
          if (port) port.postMessage({ control: message.control, event: name, data: message.data });
        });
      });
    }

    self.onconnect = function (e) {
      var port = e.ports[0];
      function release(ids) {
        ids.forEach(function (id) { if (owners[id] === port) delete owners[id]; });
      }
      function leave(pages) {
        pages.forEach(function (page) { if (present[page] === port) delete present[page]; });
      }
      port.onmessage = function (m) {
        if (m.data.present) present[m.data.present] = port;
        if (m.data.watchPage) {
          // Granted once the window that holds it is gone.
          navigator.locks.request(PAGE_LOCK + m.data.watchPage, function () {
            leave([m.data.watchPage]);
            settle();
          });
        }
        (m.data.watch || []).forEach(function (id) {
          // Granted once the page that holds it is gone.
          navigator.locks.request(LOCK + id, function () {
            release([id]);
            settle();
          });
        });
        if (m.data.absent) leave([m.data.absent]);
        if (alone) {
          settle();
          if (m.data.subscribe) port.postMessage({ alone: true });
          return;
        }
        (m.data.subscribe || []).forEach(function (id) { owners[id] = port; });
        release(m.data.unsubscribe || []);
        settle();
      };
      // The page is gone (closed, navigated away or crashed).
      port.addEventListener('close', function () {
        release(Object.keys(owners));
        leave(Object.keys(present));
        settle();
      });
    };
  }

  // --- The control's dialogs, inside the page ---

  // A dialog is centred in the window; in a window too small for it, it
  // scrolls from its top left corner instead of being cut on every side.
  var STYLE = 'position:fixed;inset:0;z-index:2147483647;background:rgba(0,0,0,.3);' +
      'display:flex;overflow:auto;font:13px sans-serif';
  var BOX = 'background:#f0f0f0;color:#000;border:1px solid #666;box-shadow:0 4px 16px #0006;' +
      'min-width:320px;max-width:90vw;margin:auto;flex:none';
  var TITLE = 'background:#036;color:#fff;padding:4px 8px;font-weight:bold';

  function element(tag, style, text) {
    var el = document.createElement(tag);
    if (style) el.style.cssText = style;
    if (text !== undefined) el.textContent = text;
    return el;
  }

  // The open dialogs, the newest last: it has the keyboard.
  var openDialogs = [];
  // The keys pressed while a dialog was open, by code: their repeats,
  // presses and release belong to the dialog too, also once it has closed
  // (Enter on a button closes the dialog before the key comes up).
  var dialogKeys = Object.create(null);

  // A modal dialog owns the keyboard as the old browser's dialog windows
  // did: no key event reaches the page below, whichever way the page
  // listens (on the window, the document or the body, capturing or not, or
  // through on-handlers). This listener is the window's first capturing one,
  // since the bridge runs before any script of the page: it stops every key
  // event at once and hands key-downs to the dialog. What the browser does
  // by itself with a key (typing into a field, moving in a list) still
  // happens unless the dialog prevents it.
  function guardKeys(e) {
    var dialog = openDialogs[openDialogs.length - 1];
    var code = e.code || e.key;
    if (!dialog) {
      if (!dialogKeys[code]) return;
      if (e.type === 'keydown' && !e.repeat) {
        // A new press: the release of the old one went elsewhere (the
        // window lost the focus); this key is the page's.
        delete dialogKeys[code];
        return;
      }
      if (e.type === 'keyup') delete dialogKeys[code];
      e.stopImmediatePropagation();
      return;
    }
    e.stopImmediatePropagation();
    if (e.type === 'keyup') {
      delete dialogKeys[code];
      return;
    }
    if (e.type !== 'keydown') return;
    dialogKeys[code] = true;
    dialogKey(dialog, e);
  }
  ['keydown', 'keypress', 'keyup'].forEach(function (type) {
    window.addEventListener(type, guardKeys, true);
  });

  // The controls of `dialog` that take the focus, in order.
  function focusable(dialog) {
    return Array.prototype.filter.call(
      dialog.box.querySelectorAll('button, input, select, textarea'),
      function (el) { return !el.disabled && el.getClientRects().length > 0; });
  }

  // The keys of an open dialog: Esc cancels; Tab and Shift+Tab go round its
  // controls and never leave it; Enter and Space press the focused button;
  // the dialog's own keys (dialog.key) come first. A key typed while the
  // focus is outside the dialog (after a click beside it) brings the focus
  // back.
  function dialogKey(dialog, e) {
    var active = document.activeElement;
    var inside = dialog.box.contains(active);
    if (e.key === 'Escape') {
      e.preventDefault();
      dialog.cancel();
      return;
    }
    if (inside && dialog.key && dialog.key(e, active)) return;
    var controls = focusable(dialog);
    if (e.key === 'Tab') {
      e.preventDefault();
      if (!controls.length) return;
      var at = controls.indexOf(active);
      var step = e.shiftKey ? -1 : 1;
      var next = at < 0 ? (step > 0 ? 0 : controls.length - 1)
                        : (at + step + controls.length) % controls.length;
      controls[next].focus();
      // As the browser's own Tab does: a text field comes with its text
      // selected.
      if (controls[next].tagName === 'INPUT') controls[next].select();
      return;
    }
    if (!inside) {
      e.preventDefault();
      if (dialog.first) dialog.first.focus();
      return;
    }
    if ((e.key === 'Enter' || e.key === ' ') && active.tagName === 'BUTTON' &&
        !e.altKey && !e.ctrlKey && !e.metaKey) {
      e.preventDefault();
      active.click();
    }
  }

  // Opens a modal dialog with `title` over the page. `cancel` is what Esc
  // does. Gives the dialog: its overlay, box and body, `first` (the control
  // focused at first and after a stray click; set by the caller), `key`
  // (the dialog's own key handler, true when it took the key; optional) and
  // close(), which removes it and gives the focus back.
  function modal(title, cancel) {
    var overlay = element('div', STYLE);
    overlay.className = 'lumorel-dialog';
    var box = element('div', BOX);
    box.setAttribute('role', 'dialog');
    box.setAttribute('aria-modal', 'true');
    box.appendChild(element('div', TITLE, title));
    var body = element('div', 'padding:10px');
    box.appendChild(body);
    overlay.appendChild(box);
    (document.body || document.documentElement).appendChild(overlay);
    var dialog = {
      overlay: overlay, box: box, body: body, first: null, key: null,
      cancel: cancel || function () {},
      before: document.activeElement,
      close: function () {
        var i = openDialogs.indexOf(dialog);
        if (i >= 0) openDialogs.splice(i, 1);
        overlay.remove();
        var before = dialog.before;
        if (before && before.isConnected && typeof before.focus === 'function') before.focus();
      }
    };
    openDialogs.push(dialog);
    fitFrame(dialog);
    // Nor does the mouse reach the page: a click beside the dialog keeps
    // the focus in it.
    ['mousedown', 'mouseup', 'click', 'dblclick', 'contextmenu'].forEach(function (type) {
      overlay.addEventListener(type, function (e) {
        e.stopPropagation();
        if (e.type === 'mousedown' && !box.contains(e.target)) e.preventDefault();
      });
    });
    return dialog;
  }

  // A dialog shown in a dialog page's frame (the organizer's folder prompt)
  // needs more room than that page asked for: the frame grows to hold it
  // while it is open, and goes back when it closes.
  function fitFrame(dialog) {
    if (!dialogHost || !dialogHost.fit || typeof ResizeObserver !== 'function') return;
    var restore = null;
    var watch = new ResizeObserver(function () {
      var wanted = dialog.box.getBoundingClientRect();
      var back = dialogHost.fit(Math.ceil(wanted.width) + 16, Math.ceil(wanted.height) + 16);
      if (!restore) restore = back;
    });
    watch.observe(dialog.box);
    var close = dialog.close;
    dialog.close = function () {
      watch.disconnect();
      close();
      if (restore && !openDialogs.length) restore();
    };
  }

  function answer(control, dialog, value) {
    request('POST', control.base + '/dialog', { dialog: dialog, answer: value }, false,
            function () {});
  }

  function button(text, name) {
    var b = element('button', 'min-width:80px;margin-left:6px', text);
    b.type = 'button';
    b.name = name;
    return b;
  }

  function showDialog(control, d) {
    if (d.dialog === 200) return showFolderPrompt(control, d);
    var finished = false;
    function finish(value) {
      if (finished) return;
      finished = true;
      m.close();
      answer(control, d.dialog, value);
    }
    var m = modal(d.title, function () { finish(false); });
    m.overlay.setAttribute('data-dialog', String(d.dialog));
    (d.text || []).forEach(function (line) { m.body.appendChild(element('p', 'margin:4px 0', line)); });
    var buttons = element('div', 'text-align:right;margin-top:10px');
    var ok = button(d.ok, 'ok');
    var cancel = button(d.cancel, 'cancel');
    ok.onclick = function () { finish(true); };
    cancel.onclick = function () { finish(false); };
    buttons.appendChild(ok);
    buttons.appendChild(cancel);
    m.body.appendChild(buttons);
    m.first = d['default'] === 'cancel' ? cancel : ok;
    m.first.focus();
  }

  // The folder prompt: a path field that takes a typed or pasted path (Tab
  // completes a folder's name), the folders of the folder it shows, the
  // places to start from, OK and Cancel. It opens in the folder the host
  // chose (d.start); a folder that cannot be shown is said so in the prompt.
  function showFolderPrompt(control, d) {
    var finished = false;
    function finish(value) {
      if (finished) return;
      finished = true;
      m.close();
      answer(control, 200, value);
    }
    var m = modal(d.title, function () { finish(''); });
    m.overlay.setAttribute('data-dialog', '200');
    var field = element('input', 'width:100%;box-sizing:border-box;margin:2px 0 8px');
    field.type = 'text';
    field.name = 'path';
    field.spellcheck = false;
    field.autocomplete = 'off';
    field.setAttribute('aria-label', d.path);
    var current = element('div', 'margin:4px 0;font-weight:bold;word-break:break-all');
    // The list gives up height first in a small window (a slide show's
    // window may be 300 pixels high).
    var list = element('select', 'width:100%;height:12em;max-height:calc(100vh - 19em);min-height:4em');
    list.size = 12;
    list.name = 'folders';
    var places = element('select', 'width:100%');
    places.name = 'places';
    var problem = element('div', 'margin-top:6px;color:#a00000');
    problem.setAttribute('role', 'alert');
    problem.className = 'lumorel-problem';
    m.body.appendChild(element('div', '', d.path));
    m.body.appendChild(field);
    m.body.appendChild(element('div', '', d.folders));
    m.body.appendChild(current);
    m.body.appendChild(list);
    m.body.appendChild(element('div', 'margin-top:8px', d.drives));
    m.body.appendChild(places);
    m.body.appendChild(problem);
    var buttons = element('div', 'text-align:right;margin-top:10px');
    var ok = button(d.ok, 'ok');
    var cancel = button(d.cancel, 'cancel');
    buttons.appendChild(ok);
    buttons.appendChild(cancel);
    m.body.appendChild(buttons);
    var problems = d.problems || {};
    var folder = null;
    // Counts the listings asked for: an answer to an earlier one that comes
    // late does not replace the folder the user went to since.
    var asked = 0;

    function tell(text) {
      problem.textContent = text || '';
    }

    // The listing of `path` (as typed: full, "~/...", or below the folder
    // shown); `done` gets it, or null and the problem's name. Asked at once
    // when `wait` is true.
    function listing(path, wait, done) {
      var url = control.base + '/folders?path=' + percentBytes(path) +
          '&from=' + percentBytes(folder === null ? '' : folder);
      var xhr = request('GET', url, undefined, wait, function (x) { settle(x); });
      function settle(x) {
        var answer = null;
        try { answer = JSON.parse(x.responseText); } catch (e) { answer = null; }
        if (x.status === 200 && answer && typeof answer.path === 'string') done(answer, null);
        else done(null, answer && answer.problem || 'missing');
      }
      if (wait && xhr) settle(xhr);
    }

    // Shows the folder `path` names; tells why when it cannot be shown, and
    // stays where it was. `then` gets the folder shown.
    function show(path, then) {
      var ask = ++asked;
      var typed = field.value;
      listing(path, false, function (found, why) {
        if (ask !== asked) return;
        if (!found) return tell(problems[why] || problems.missing);
        tell('');
        folder = found.path;
        current.textContent = folder;
        // What the user typed while the listing came stays.
        if (field.value === typed) field.value = folder;
        m.overlay.setAttribute('data-folder', folder);
        list.textContent = '';
        if (folder !== '/') list.appendChild(new Option('..', '..'));
        found.folders.forEach(function (name) { list.appendChild(new Option(name, name)); });
        places.textContent = '';
        found.places.forEach(function (p) { places.appendChild(new Option(p, p)); });
        if (then) then(folder);
      });
    }

    function enter() {
      var name = list.value;
      if (!name || folder === null) return;
      if (name === '..') show(folder.replace(/[^\/]*\/$/, '') || '/');
      else show(folder + name + '/');
    }

    // OK: the folder the path field names, once it is one.
    function accept() {
      var typed = field.value;
      if (folder !== null && typed === folder) return finish(folder);
      if (!/\S/.test(typed)) return tell(problems.missing);
      listing(typed, false, function (found, why) {
        if (found) finish(found.path);
        else tell(problems[why] || problems.missing);
      });
    }

    // Tab in the path field: completes the last step of the typed path with
    // the folders whose names begin with it, as far as they agree, and shows
    // a folder completed in full. False when there is nothing to complete,
    // and Tab then moves on.
    function complete() {
      var typed = field.value;
      if (field.selectionStart !== typed.length) return false;
      var cut = typed.lastIndexOf('/') + 1;
      var start = typed.slice(cut);
      if (!start) return false;
      var parent = typed.slice(0, cut);
      var names = null;
      listing(parent || '.', true, function (found) { names = found && found.folders; });
      var matches = (names || []).filter(function (n) { return n.slice(0, start.length) === start; });
      if (!matches.length) return false;
      var common = matches.reduce(function (a, b) {
        var i = 0;
        while (i < a.length && i < b.length && a.charAt(i) === b.charAt(i)) ++i;
        return a.slice(0, i);
      });
      if (matches.length === 1) {
        field.value = parent + common + '/';
        show(field.value);
        return true;
      }
      if (common.length === start.length) return false;
      field.value = parent + common;
      return true;
    }

    // The prompt's own keys: Enter in the path field is OK, Enter in the
    // list goes into the folder selected, Tab in the path field completes.
    m.key = function (e, active) {
      if (e.altKey || e.ctrlKey || e.metaKey) return false;
      if (active === field && e.key === 'Enter') {
        e.preventDefault();
        accept();
        return true;
      }
      if (active === list && e.key === 'Enter') {
        e.preventDefault();
        enter();
        return true;
      }
      if (active === field && e.key === 'Tab' && !e.shiftKey && complete()) {
        e.preventDefault();
        return true;
      }
      return false;
    };
    list.ondblclick = enter;
    field.oninput = function () { tell(''); };
    places.onchange = function () { show(places.value); };
    ok.onclick = accept;
    cancel.onclick = function () { finish(''); };
    m.first = ok;
    show(typeof d.start === 'string' && d.start ? d.start : '/');
    ok.focus();
  }

  // --- Windows ---

  // A page shown by showModalDialog runs in a frame of its opener's page.
  var dialogHost = null;
  try { dialogHost = window.frameElement && window.frameElement.lumorelDialog; } catch (e) { dialogHost = null; }
  if (dialogHost) {
    window.dialogArguments = dialogHost.args;
    window.returnValue = undefined;
    window.close = function () { dialogHost.finish(window.returnValue); };
  }

  function quit() {
    if (dialogHost) return dialogHost.finish(window.returnValue);
    window.close();
    // A window the user opened cannot be closed by its page; the browser
    // tells at once whether it will close this one.
    if (window.closed) return;
    endPage();
    document.title = 'Lumorel has ended';
    var m = modal('Lumorel');
    m.body.appendChild(element('p', '', 'Lumorel has ended. You can close this tab.'));
  }

  function cssSize(text, fallback) {
    var m = /^\s*([\d.]+)\s*(px|em)?\s*$/i.exec(text || '');
    if (!m) return fallback;
    return m[2] && m[2].toLowerCase() === 'em' ? m[1] + 'em' : m[1] + 'px';
  }

  // showModalDialog(url, args, features [, continuation]): the page opens in
  // a modal frame; the continuation gets its returnValue when it closes.
  window.showModalDialog = function (url, args, features, done) {
    var f = {};
    String(features || '').split(/[;,]/).forEach(function (part) {
      var kv = part.split(/[:=]/);
      if (kv.length === 2) f[kv[0].trim().toLowerCase()] = kv[1].trim();
    });
    // A dialog larger than the window scrolls from its top left corner
    // instead of being cut on every side.
    var overlay = element('div', STYLE + ';overflow:auto;align-items:flex-start;justify-content:flex-start');
    overlay.className = 'lumorel-modal';
    var frame = element('iframe', 'border:1px solid #666;background:#fff;box-shadow:0 4px 16px #0006;' +
        'margin:auto;flex:none');
    var sized = !!(f.dialogwidth || f.dialogheight);
    frame.style.width = cssSize(f.dialogwidth, '400px');
    frame.style.height = cssSize(f.dialogheight, '300px');
    frame.lumorelDialog = {
      args: args,
      // Grows the frame to at least `width` x `height` pixels; gives what
      // puts it back.
      fit: function (width, height) {
        var before = { width: frame.style.width, height: frame.style.height };
        if (frame.offsetWidth < width) frame.style.width = width + 'px';
        if (frame.offsetHeight < height) frame.style.height = height + 'px';
        growToFit(frame);
        return function () {
          frame.style.width = before.width;
          frame.style.height = before.height;
        };
      },
      finish: function (value) {
        if (!overlay.parentNode) return;
        overlay.remove();
        if (typeof done === 'function') done(value);
      }
    };
    frame.addEventListener('load', function () {
      if (sized) return;
      try {
        // The dialog pages give their size on their root element.
        var root = frame.contentDocument.documentElement;
        var style = frame.contentWindow.getComputedStyle(root);
        if (root.style.width) frame.style.width = style.width;
        if (root.style.height) frame.style.height = style.height;
      } catch (e) { /* keep the default size */ }
      growToFit(frame);
    });
    frame.src = mapAddress(url);
    overlay.appendChild(frame);
    (document.body || document.documentElement).appendChild(overlay);
    if (sized) growToFit(frame);
    return undefined;
  };

  // The old browser gave a dialog a window of its own; here it lives in its
  // opener's window, which grows to hold it where the browser lets a page
  // resize its window (windows opened by script).
  function growToFit(frame) {
    var margin = 16;
    var dw = frame.offsetWidth + margin - window.innerWidth;
    var dh = frame.offsetHeight + margin - window.innerHeight;
    if (dw > 0 || dh > 0) {
      try { window.resizeBy(Math.max(dw, 0), Math.max(dh, 0)); } catch (e) { /* it scrolls instead */ }
    }
  }

  // Whether `path` (a full path) is where a file system is mounted, which
  // only the host can tell; asked through the page's first control. False
  // when it cannot be told.
  function isMountPoint(path) {
    var control = controls[0];
    if (!control) return false;
    var xhr = request('GET', control.base + '/mount-point?path=' + percentBytes(String(path)),
                      undefined, true);
    var answer = null;
    try { answer = JSON.parse(xhr.responseText); } catch (e) { answer = null; }
    return !!(xhr.status === 200 && answer && answer.mountPoint === true);
  }

  // The page's unload handler, once: when the page goes, or when Exit ended
  // it in a window the browser would not close.
  function runUnload() {
    unloading = true;
    if (typeof window.onunload === 'function') {
      var handler = window.onunload;
      window.onunload = null;
      try { handler.call(window); } catch (e) { /* the page is going */ }
    }
  }
  // Browsers that no longer send unload still send pagehide.
  window.addEventListener('pagehide', runUnload, true);
  enterPresence();

  window.lumorel = {
    mapAddress: mapAddress,
    version: '1.4',
    calls: calls,
    // Asked by a window this page opened: whether it opened full screen.
    openedFullScreen: function (w) { return fullScreenWindows.indexOf(w) >= 0; },
    isMountPoint: isMountPoint,
    // Whether the page still waits on the user or the host: a dialog is
    // open, or a call has not answered yet.
    busy: function () {
      if (openDialogs.length > 0 || document.querySelector('.lumorel-modal')) return true;
      return controls.some(function (c) { return Object.keys(c.waiting).length > 0; });
    },
    // The windows this page opened that are still open.
    openedWindows: function () {
      openedWindows = openedWindows.filter(function (w) { return !w.closed; });
      return openedWindows.slice();
    }
  };
})();
