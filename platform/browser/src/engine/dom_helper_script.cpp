// The page-side half of the document calls.

#include "dom_bridge.h"

namespace kb::engine {

QString DomHelperScript(const QString& helperName, const QString& dialogNonce)
{
    static const char* kScript = R"JS((function () {
  'use strict';
  var NAME = '%1', DIALOG = '%2';
  var apply = Reflect.apply, own = Object.getOwnPropertyDescriptor, stringify = JSON.stringify;
  var log = console.log.bind(console), random = crypto.getRandomValues.bind(crypto);
  var MapGet = Map.prototype.get, MapSet = Map.prototype.set, WMGet = WeakMap.prototype.get, WMSet = WeakMap.prototype.set;
  var fnToString = Function.prototype.toString;
  function getter(proto, name) { var d = own(proto, name); return d && d.get; }
  function setter(proto, name) { var d = own(proto, name); return d && d.set; }
  var EP = Element.prototype, HP = HTMLElement.prototype, NP = Node.prototype, DP = Document.prototype;
  var G = {
    tagName: getter(EP, 'tagName'), id: getter(EP, 'id'), parentElement: getter(NP, 'parentElement'),
    ownerDocument: getter(NP, 'ownerDocument'), defaultView: getter(DP, 'defaultView'),
    offsetLeft: getter(HP, 'offsetLeft'), offsetTop: getter(HP, 'offsetTop'), offsetWidth: getter(HP, 'offsetWidth'),
    offsetHeight: getter(HP, 'offsetHeight'), offsetParent: getter(HP, 'offsetParent'),
    clientLeft: getter(EP, 'clientLeft'), clientTop: getter(EP, 'clientTop'), scrollLeft: getter(EP, 'scrollLeft'),
    scrollTop: getter(EP, 'scrollTop'), innerText: getter(HP, 'innerText'), body: getter(DP, 'body'),
    title: getter(DP, 'title'), URL: getter(DP, 'URL'), readyState: getter(DP, 'readyState')
  };
  var S = { innerText: setter(HP, 'innerText') };
  var M = {
    getAttribute: EP.getAttribute, setAttribute: EP.setAttribute, hasAttribute: EP.hasAttribute,
    fromPoint: DP.elementFromPoint, byId: DP.getElementById, byName: DP.getElementsByName
  };
  var handlers = {};
  ['click', 'dblclick', 'keydown', 'keyup', 'keypress', 'mousedown', 'mouseup'].forEach(function (e) {
    handlers[e] = getter(HP, 'on' + e);
  });
  var words = new Uint32Array(2); random(words);
  var DOC = words[0].toString(16) + words[1].toString(16);
  var refs = new Map(), numbers = new WeakMap(), next = 1;
  function ref(el) {
    if (!el) return 0;
    var n = apply(WMGet, numbers, [el]);
    if (n === undefined) { n = next++; apply(WMSet, numbers, [el, n]); apply(MapSet, refs, [n, el]); }
    return [DOC, n];
  }
  function element(r) {
    if (!Array.isArray(r) || r[0] !== DOC) throw 'stale';
    var el = apply(MapGet, refs, [r[1]]);
    if (!el) throw 'stale';
    return el;
  }
  function frameWindow(path) {
    var w = window;
    for (var i = 0; i < path.length; ++i) {
      if (path[i] >= w.length) throw 'gone';
      w = w[path[i]];
    }
    return w;
  }
  function documentOf(path) {
    var w = frameWindow(path), d;
    try { d = w.document; d.nodeType; } catch (e) { throw 'origin'; }
    return d;
  }
  function pathOf(w) {
    var p = [];
    for (var depth = 0; w !== window && depth < 32; ++depth) {
      var parent = w.parent, index = -1;
      for (var i = 0; i < parent.length; ++i) { if (parent[i] === w) { index = i; break; } }
      if (index < 0) return null;
      p.unshift(index);
      w = parent;
    }
    return w === window ? p : null;
  }
  function text(v, limit) { v = String(v); return v.length > limit ? v.slice(0, limit) : v; }
  function plain(v) {
    if (v === undefined || v === null || typeof v === 'boolean' || typeof v === 'number') return v === undefined ? null : v;
    if (typeof v === 'string') return text(v, 1048576);
    try { return text(stringify(v), 1048576); } catch (e) { return text(v, 1048576); }
  }
  var ops = {
    docInfo: function (path) { var d = documentOf(path);
      return {url: text(apply(G.URL, d, []), 8192), title: text(apply(G.title, d, []), 8192), state: apply(G.readyState, d, [])}; },
    fromPoint: function (path, x, y) { return ref(apply(M.fromPoint, documentOf(path), [x, y])); },
    byId: function (path, id) { return ref(apply(M.byId, documentOf(path), [id])); },
    byName: function (path, name) { var list = apply(M.byName, documentOf(path), [name]), out = [];
      for (var i = 0; i < list.length && i < 10000; ++i) out.push(ref(list[i])); return out; },
    body: function (path) { return ref(apply(G.body, documentOf(path), [])); },
    frameCount: function (path) { return frameWindow(path).length; },
    frameByIndex: function (path, index) { var w = frameWindow(path);
      return index >= 0 && index < w.length ? path.concat([index]) : null; },
    frameByName: function (path, name) { var w = frameWindow(path);
      for (var i = 0; i < w.length; ++i) { var n; try { n = w[i].name; } catch (e) { continue; } if (n === name) return path.concat([i]); }
      return null; },
    windowName: function (path) { var w = frameWindow(path); try { return text(w.name, 8192); } catch (e) { throw 'origin'; } },
    hasOpener: function () { return window.opener !== null && window.opener !== undefined; },
    navigateFrame: function (path, url) { frameWindow(path).location.href = url; return true; },
    exec: function (path, code) { var w = frameWindow(path), f; try { f = w.eval; } catch (e) { throw 'origin'; }
      return plain(apply(f, w, [code])); },
    tag: function (r) { return apply(G.tagName, element(r), []); },
    id: function (r) { return text(apply(G.id, element(r), []), 8192); },
    parent: function (r) { return ref(apply(G.parentElement, element(r), [])); },
    attr: function (r, name) { var el = element(r);
      return apply(M.hasAttribute, el, [name]) ? text(apply(M.getAttribute, el, [name]), 65536) : null; },
    setAttr: function (r, name, value) { apply(M.setAttribute, element(r), [name, value]); return true; },
    handler: function (r, event) { var el = element(r), g = handlers[event];
      var f = g ? apply(g, el, []) : null;
      if (typeof f === 'function') return text(apply(fnToString, f, []), 4096);
      if (apply(M.hasAttribute, el, ['on' + event])) return text(apply(M.getAttribute, el, ['on' + event]), 4096);
      return null; },
    layout: function (r) { var el = element(r); var n = function (g) { try { return apply(g, el, []) | 0; } catch (e) { return 0; } };
      var parent = null; try { parent = apply(G.offsetParent, el, []); } catch (e) {}
      return {left: n(G.offsetLeft), top: n(G.offsetTop), width: n(G.offsetWidth), height: n(G.offsetHeight),
              clientLeft: n(G.clientLeft), clientTop: n(G.clientTop), scrollLeft: n(G.scrollLeft), scrollTop: n(G.scrollTop),
              parent: ref(parent)}; },
    innerText: function (r) { return text(apply(G.innerText, element(r), []), 1048576); },
    setInnerText: function (r, value) { apply(S.innerText, element(r), [value]); return true; },
    value: function (r) { var el = element(r); if (!('value' in el)) throw 'notimpl'; return text(el.value, 1048576); },
    setValue: function (r, value) { var el = element(r); if (!('value' in el)) throw 'notimpl'; el.value = value; return true; },
    checked: function (r) { var el = element(r); return !!el.checked; },
    contentPath: function (r) { var el = element(r), w; try { w = el.contentWindow; } catch (e) { return null; }
      return w ? pathOf(w) : null; },
    documentPath: function (r) { var d = apply(G.ownerDocument, element(r), []), w = d ? apply(G.defaultView, d, []) : null;
      return w ? pathOf(w) : null; }
  };
  Object.defineProperty(window, NAME, {value: function (request) {
    try {
      var op = ops[request.op];
      if (typeof op !== 'function') return {ok: false, e: 'op'};
      return {ok: true, v: apply(op, null, request.args)};
    } catch (e) {
      return {ok: false, e: typeof e === 'string' ? e : 'script'};
    }
  }, enumerable: false, writable: false, configurable: false});
  function openDialog(url, modal) {
    log(DIALOG + stringify({u: String(url === undefined ? '' : url), m: !!modal}));
    return undefined;
  }
  if (!('showModalDialog' in window))
    window.showModalDialog = function (url) { return openDialog(url, true); };
  if (!('showModelessDialog' in window))
    window.showModelessDialog = function (url) { return openDialog(url, false); };
})();)JS";
    return QString::fromUtf8(kScript).arg(helperName, dialogNonce);
}

}  // namespace kb::engine
