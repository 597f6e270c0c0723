// Element operations of the page host. Runs in the host's own script world,
// which shares the DOM with the page but none of its script. The host calls
// it as (this function)(operation, locator, args) and gets back
// {ok: true, value: …} or {ok: false, status: "…", message: "…"}.
//
// Elements handed to the host are kept in a table of this world under a
// reference that carries a random token of this document, so a reference of
// an earlier document never finds an element of a later one.
(function (operation, locator, args) {
    "use strict";
    var state = window.__kelmElements;
    if (!state) {
        var bytes = new Uint32Array(2);
        crypto.getRandomValues(bytes);
        state = window.__kelmElements = {
            token: bytes[0].toString(36) + bytes[1].toString(36),
            next: 1,
            byRef: new Map(),
            refOf: new WeakMap()
        };
    }

    function fail(status, message) { return { ok: false, status: status, message: message }; }
    function done(value) { return { ok: true, value: value === undefined ? null : value }; }

    function handle(element) {
        var ref = state.refOf.get(element);
        if (!ref) {
            ref = state.token + ":" + (state.next++);
            state.refOf.set(element, ref);
            state.byRef.set(ref, element);
        }
        return { ref: ref, id: element.id || "", tag: element.tagName || "" };
    }

    function find(loc) {
        if (loc && typeof loc.ref === "string")
            return state.byRef.get(loc.ref) || null;
        if (loc && typeof loc.id === "string")
            return document.getElementById(loc.id);
        return null;
    }

    function isTextInput(element) {
        if (element.isContentEditable)
            return true;
        var tag = element.tagName;
        if (tag === "TEXTAREA")
            return true;
        if (tag !== "INPUT")
            return false;
        var type = (element.getAttribute("type") || "text").toLowerCase();
        return ["text", "password", "search", "email", "url", "tel", "number"].indexOf(type) >= 0;
    }

    function radios(group) {
        return Array.prototype.filter.call(document.getElementsByName(group), function (e) {
            return e.tagName === "INPUT" && (e.type || "").toLowerCase() === "radio";
        });
    }

    // Operations on a group of radio buttons, found by name.
    if (operation === "getRadio" || operation === "setRadio") {
        var group = radios(locator.name);
        if (group.length === 0)
            return fail("NoElement", "no radio button named '" + locator.name + "'");
        if (operation === "getRadio") {
            var checked = group.filter(function (e) { return e.checked; });
            return done(checked.length ? checked[0].value : "");
        }
        var wanted = group.filter(function (e) { return e.value === args[0]; });
        if (wanted.length === 0)
            return fail("WrongElement", "radio group '" + locator.name + "' has no value '" + args[0] + "'");
        wanted[0].checked = true;
        return done(true);
    }

    // Operations that answer element lists or look elements up.
    if (operation === "byName")
        return done(Array.prototype.map.call(document.getElementsByName(locator.name), handle));
    if (operation === "byTag")
        return done(Array.prototype.map.call(document.getElementsByTagName(locator.tag), handle));
    if (operation === "fromPoint") {
        var hit = document.elementFromPoint(args[0], args[1]);
        return hit ? done(handle(hit)) : fail("NoElement", "no element at " + args[0] + "," + args[1]);
    }

    var element = find(locator);
    if (!element)
        return fail("NoElement", "no element " + JSON.stringify(locator));

    function needsChecked() {
        if (element.tagName !== "INPUT")
            return fail("WrongElement", "element " + JSON.stringify(locator) + " is no check box");
        return null;
    }
    function needsValue() {
        if (!("value" in element) || typeof element.value !== "string")
            return fail("WrongElement", "element " + JSON.stringify(locator) + " has no value");
        return null;
    }
    function needsSelect() {
        if (element.tagName !== "SELECT")
            return fail("WrongElement", "element " + JSON.stringify(locator) + " is no selection list");
        return null;
    }

    switch (operation) {
    case "handle": return done(handle(element));
    case "getCheck": return needsChecked() || done(!!element.checked);
    case "setCheck": return needsChecked() || done(element.checked = !!args[0]);
    case "getValue": return needsValue() || done(element.value);
    case "setValue": return needsValue() || (element.value = String(args[0]), done(true));
    case "getSelected":
        return needsSelect() || done(element.selectedIndex >= 0 ? element.options[element.selectedIndex].value : "");
    case "setSelected":
        if (needsSelect())
            return needsSelect();
        for (var i = 0; i < element.options.length; ++i) {
            if (element.options[i].value === args[0]) {
                element.selectedIndex = i;
                return done(true);
            }
        }
        return fail("WrongElement", "selection list " + JSON.stringify(locator) + " has no option '" + args[0] + "'");
    case "getClass": return done(element.className);
    case "setClass": element.className = String(args[0]); return done(true);
    case "getAttr": var a = element.getAttribute(args[0]); return done(a === null ? "" : a);
    case "setAttr": element.setAttribute(args[0], String(args[1])); return done(true);
    case "removeAttr": element.removeAttribute(args[0]); return done(true);
    case "getInnerHTML": return done(element.innerHTML);
    case "setInnerHTML": element.innerHTML = String(args[0]); return done(true);
    case "setInnerText": element.innerText = String(args[0]); return done(true);
    case "setInnerTextAndTitle":
        element.innerText = String(args[0]);
        element.title = String(args[0]);
        return done(true);
    case "click": element.click(); return done(true);
    case "focus": element.focus(); return done(true);
    case "setStyle": element.style.setProperty(args[0], String(args[1])); return done(true);
    case "getRect":
        var r = element.getBoundingClientRect();
        return done([r.left, r.top, r.width, r.height]);
    case "isTextInput": return done(isTextInput(element));
    }
    return fail("BadInput", "unknown element operation '" + operation + "'");
})
