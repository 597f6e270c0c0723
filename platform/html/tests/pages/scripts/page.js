// Script of the host's test pages: functions the host calls, and calls the
// page makes on window.external.
var pageScriptLoaded = true;
var clickCount = 0;
var keyDowns = [];
var externalCallsAtCreation = 0;

document.addEventListener("keydown", function (e) { keyDowns.push(e.key); });

function add_numbers(a, b) { return Number(a) + Number(b); }
function echo_args() { return Array.prototype.slice.call(arguments).join("|"); }
function returns_nothing() { }
function throws_error() { throw new Error("page failure"); }
function busy_for(ms) {
    var end = Date.now() + Number(ms);
    while (Date.now() < end) { }
    return "done";
}
function call_external(method) {
    var args = Array.prototype.slice.call(arguments, 1);
    window.external[method].apply(null, args);
    return "sent";
}
function set_status(text) { document.getElementById("status").innerText = text; }
