// Gives page script its window.external object. Runs in the page's script
// world when each document is created, right after qwebchannel.js.
//
// Any property of window.external is a function that sends its name and
// arguments to the host; it answers nothing (undefined). The channel to the
// host opens asynchronously, so calls made before it is open are held and
// sent, in order, as soon as it is. Only the host decides whether a call is
// allowed and what it does.
(function () {
    "use strict";
    if (window.__kelmExternalInstalled || typeof qt === "undefined" || !qt.webChannelTransport)
        return;
    window.__kelmExternalInstalled = true;

    var held = [];
    var bridge = null;

    function send(method, args) {
        if (bridge)
            bridge.invoke(method, args);
        else
            held.push([method, args]);
    }

    var external = new Proxy({}, {
        get: function (target, name) {
            // Promise resolution and JSON probe these; they are no methods.
            if (typeof name !== "string" || name === "then" || name === "toJSON")
                return undefined;
            return function () { send(name, Array.prototype.slice.call(arguments)); };
        },
        has: function () { return true; },
        set: function () { return false; }
    });
    Object.defineProperty(window, "external", { value: external, writable: false, configurable: false });

    new QWebChannel(qt.webChannelTransport, function (channel) {
        bridge = channel.objects.kelmExternal;
        var pending = held;
        held = [];
        pending.forEach(function (call) { bridge.invoke(call[0], call[1]); });
    });
})();
