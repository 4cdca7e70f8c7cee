
// The context menu's arguments: a page opened for an entry of the browser's
// context menu (its address ends in "#menu=<id>") finds the right-clicked
// page, as the menu saw it, in external.menuArguments: its document's links,
// address and title, the right-clicked element, and navigate() to send that
// tab elsewhere. The page's window closes once its work is done.
(function () {
  'use strict';
  if (!self.document || !window.lumorel) return;
  var match = /(?:^#|&)menu=([0-9a-f]{16})(?:&|$)/.exec(location.hash);
  if (!match) return;
  var id = match[1];
  var base = '/.lumorel/menu/' + id;

  var snapshot = null;
  try {
    var xhr = new XMLHttpRequest();
    xhr.open('GET', base, false);
    xhr.send();
    if (xhr.status === 200) snapshot = JSON.parse(xhr.responseText);
  } catch (e) {
    snapshot = null;
  }
  if (!snapshot) return;

  // The right-clicked page's navigations go to the host, which hands them
  // to the browser. The call may come from a window this page opened after
  // this page has closed: the request then goes out through that window.
  function navigate(url) {
    var body = JSON.stringify({ url: String(url) });
    var senders = [window].concat(window.lumorel.openedWindows());
    for (var i = 0; i < senders.length; ++i) {
      var w = senders[i];
      try {
        if (w.closed) continue;
        var r = new w.XMLHttpRequest();
        r.open('POST', base + '/navigate', false);
        r.setRequestHeader('Content-Type', 'application/json');
        r.send(body);
        return;
      } catch (e) { /* a window that has gone meanwhile: the next one */ }
    }
  }

  var doc = snapshot.document;
  var links = doc.links.map(function (href) { return { href: href, toString: function () { return href; } }; });
  links.item = function (i) { return links[i] || null; };
  var location_ = { href: doc.url, toString: function () { return doc.url; } };
  var element = snapshot.element;
  var source = null;
  if (element) {
    source = {
      tagName: element.tagName || '', nodeName: element.tagName || '',
      src: element.src || '', href: element.href || '', title: element.title || '',
      width: element.width || 0, height: element.height || 0
    };
  }
  var right = {
    closed: false,
    document: { links: links, title: doc.title, URL: doc.url, location: location_ },
    location: location_,
    event: { srcElement: source, type: 'contextmenu' },
    navigate: navigate
  };
  // The old browser's windows were navigated by setting their location too.
  Object.defineProperty(location_, 'href', {
    get: function () { return doc.url; },
    set: function (url) { navigate(url); }
  });
  window.external.menuArguments = right;

  // Done: the page ran and nothing it started waits on the user or the
  // host any more. The old browser ran these pages without a window.
  function closeWhenDone() {
    if (window.lumorel.busy()) return setTimeout(closeWhenDone, 100);
    window.close();
  }
  window.addEventListener('load', function () { setTimeout(closeWhenDone, 0); });
})();
