// The scan results pages: tables of packages with their item lines, filled
// row by row by the program. Every text the program hands over is data: it
// goes into the page as text nodes and attribute values, never as markup.
"use strict";

var SEVERITY_NAMES = ["Low", "Mild", "Moderate", "High", "Critical"];

// Per table: package code -> { body, head, lines, summary, countCell }.
var resultsPackages = {};

function resultsPackageMap(tableId) {
    if (!Object.prototype.hasOwnProperty.call(resultsPackages, tableId))
        resultsPackages[tableId] = new Map();
    return resultsPackages[tableId];
}

function resultsElement(tag, className, text) {
    var element = document.createElement(tag);
    if (className)
        element.className = className;
    if (text !== undefined && text !== null)
        element.textContent = String(text);
    return element;
}

function resultsCallHost(name, argument) {
    if (!window.external || typeof window.external[name] !== "function")
        return;
    if (argument === undefined)
        window.external[name]();
    else
        window.external[name](argument);
}

function resultsSeverityCell(severity) {
    var level = parseInt(severity, 10);
    var cell = resultsElement("td", "severity");
    if (isNaN(level))
        return cell;
    level = Math.max(0, Math.min(4, level));
    var pill = resultsElement("span", "sev sev" + level, SEVERITY_NAMES[level]);
    cell.appendChild(pill);
    return cell;
}

function resultsUpdateCount(pkg) {
    var hidden = pkg.hidden || 0;
    var total = pkg.lines + hidden;
    pkg.countCell.textContent = total === 1 ? "1 item" : total + " items";
}

function resultsToggle(pkg) {
    var open = !pkg.body.classList.contains("open");
    pkg.body.classList.toggle("open", open);
    pkg.toggle.textContent = open ? "\u25BE" : "\u25B8";
}

// The package's group of rows: its head row (check box, name, type,
// severity) and, below it, its item lines, shown when the package is open.
function resultsNewPackage(tableId, name, shortType, severity, code, fullType) {
    var table = document.getElementById(tableId);
    if (!table)
        return null;
    var body = resultsElement("tbody", "package");
    var head = resultsElement("tr", "package-head");

    var checkCell = resultsElement("td", "check");
    var box = document.createElement("input");
    box.type = "checkbox";
    box.setAttribute("qv_custom_attrib", code);
    box.checked = table.getAttribute("data-ticked") === "1";
    checkCell.appendChild(box);
    head.appendChild(checkCell);

    var nameCell = resultsElement("td", "name");
    var toggle = resultsElement("span", "toggle", "\u25B8");
    var title = resultsElement("span", "package-name", name);
    title.title = name;
    var countCell = resultsElement("span", "count");
    nameCell.appendChild(toggle);
    nameCell.appendChild(title);
    nameCell.appendChild(countCell);
    head.appendChild(nameCell);

    var typeCell = resultsElement("td", "type", shortType);
    typeCell.title = fullType;
    head.appendChild(typeCell);
    head.appendChild(resultsSeverityCell(severity));
    body.appendChild(head);

    var pkg = { body: body, head: head, toggle: toggle, countCell: countCell, lines: 0, hidden: 0, summary: null };
    nameCell.addEventListener("click", function () { resultsToggle(pkg); });
    table.appendChild(body);
    resultsPackageMap(tableId).set(code, pkg);
    resultsUpdateCount(pkg);
    resultsUpdateEmpty();
    return pkg;
}

function resultsAddLine(pkg, itemClass, path, info) {
    var row = resultsElement("tr", "item");
    row.appendChild(resultsElement("td", "check"));
    var pathCell = resultsElement("td", "path");
    pathCell.appendChild(resultsElement("span", "class-tag", itemClass));
    var pathText = resultsElement("span", "path-text", path);
    pathCell.title = info ? path + "\n" + info : path;
    pathCell.appendChild(pathText);
    pathCell.colSpan = 3;
    row.appendChild(pathCell);
    if (pkg.summary)
        pkg.body.insertBefore(row, pkg.summary);
    else
        pkg.body.appendChild(row);
    pkg.lines += 1;
    resultsUpdateCount(pkg);
}

function resultsAddSummary(pkg, hiddenText, code) {
    var hidden = parseInt(hiddenText, 10);
    if (isNaN(hidden) || hidden <= 0)
        return;
    var row = resultsElement("tr", "summary");
    row.appendChild(resultsElement("td", "check"));
    var cell = resultsElement("td", "more");
    cell.colSpan = 3;
    var link = resultsElement("a", "", hidden === 1 ? "Show 1 more item" : "Show " + hidden + " more items");
    link.href = "#";
    link.addEventListener("click", function (event) {
        event.preventDefault();
        resultsCallHost("expand_row", code);
    });
    cell.appendChild(link);
    row.appendChild(cell);
    pkg.body.appendChild(row);
    pkg.summary = row;
    pkg.hidden = hidden;
    resultsUpdateCount(pkg);
}

// One row from the loader. TOP: "1" the package's first line, "0" a later
// line, "3" the summary row (SHORTTYPE then holds the number of hidden
// lines).
function add_item_to_table_results(tableId, name, shortType, itemClass, path, severity, info, top, code, fullType) {
    var packages = resultsPackageMap(tableId);
    var pkg = packages.get(code);
    if (top === "3") {
        if (pkg)
            resultsAddSummary(pkg, shortType, code);
        return;
    }
    if (!pkg)
        pkg = resultsNewPackage(tableId, name, shortType, severity, code, fullType);
    if (pkg)
        resultsAddLine(pkg, itemClass, path, info);
}

// A line that expand_row adds below the package's shown lines.
function append_to_package(tableId, name, shortType, itemClass, path, severity, info, code, fullType) {
    var pkg = resultsPackageMap(tableId).get(code);
    if (!pkg)
        pkg = resultsNewPackage(tableId, name, shortType, severity, code, fullType);
    if (pkg)
        resultsAddLine(pkg, itemClass, path, info);
}

// Removes the package's summary row before its hidden lines are added.
function remove_extra_elements_column(tableId, code) {
    var pkg = resultsPackageMap(tableId).get(code);
    if (!pkg || !pkg.summary)
        return;
    pkg.body.removeChild(pkg.summary);
    pkg.summary = null;
    pkg.hidden = 0;
    if (!pkg.body.classList.contains("open"))
        resultsToggle(pkg);
    resultsUpdateCount(pkg);
}

function add_item_to_table_optimized(tableId, id, type, key, title) {
    var table = document.getElementById(tableId);
    if (!table)
        return;
    var body = table.tBodies.length ? table.tBodies[0] : table.appendChild(document.createElement("tbody"));
    var row = resultsElement("tr", "optimization");
    var checkCell = resultsElement("td", "check");
    var box = document.createElement("input");
    box.type = "checkbox";
    box.setAttribute("qv_custom_attrib", id);
    checkCell.appendChild(box);
    row.appendChild(checkCell);
    row.appendChild(resultsElement("td", "type", type));
    var keyCell = resultsElement("td", "path", key);
    keyCell.title = title;
    row.appendChild(keyCell);
    body.appendChild(row);
    resultsUpdateEmpty();
}

function resultsRowCount() {
    return document.querySelectorAll(".results-table tr.package-head, .results-table tr.optimization").length;
}

function resultsUpdateEmpty() {
    var empty = document.getElementById("empty_state");
    var table = document.querySelector(".results-table");
    var none = resultsRowCount() === 0;
    if (empty)
        empty.style.display = none ? "block" : "none";
    if (table)
        table.style.display = none ? "none" : "";
}

// The item count of the page (the program passes "r" for the results style).
function num2image(count, style) {
    var badge = document.getElementById("item_count");
    if (badge) {
        var n = parseInt(count, 10);
        badge.textContent = isNaN(n) ? "0" : String(n);
        badge.className = "count-badge" + (style ? " count-" + style : "") + (n > 0 ? " nonzero" : "");
    }
    resultsUpdateEmpty();
}

function hide_allow_button() {
    var button = document.getElementById("allow_button");
    if (button)
        button.style.display = "none";
}

function resultsTwoDigits(n) {
    return (n < 10 ? "0" : "") + n;
}

// The last scan time, in seconds since 1970.
function SetScanAsof(seconds) {
    var target = document.getElementById("scan_asof");
    if (!target)
        return;
    var value = parseInt(seconds, 10);
    if (isNaN(value) || value <= 0)
        return;
    var date = new Date(value * 1000);
    target.textContent = "Last scan: " + date.getFullYear() + "-" + resultsTwoDigits(date.getMonth() + 1) + "-" +
        resultsTwoDigits(date.getDate()) + " " + resultsTwoDigits(date.getHours()) + ":" +
        resultsTwoDigits(date.getMinutes());
}

function resultsTickAll(ticked) {
    var boxes = document.querySelectorAll(".results-table input[type=checkbox]");
    for (var i = 0; i < boxes.length; ++i)
        boxes[i].checked = ticked;
}

// Buttons and links that carry data-host call that method of the program;
// data-tick="1"/"0" ticks or clears every row.
document.addEventListener("DOMContentLoaded", function () {
    var actions = document.querySelectorAll("[data-host]");
    Array.prototype.forEach.call(actions, function (element) {
        element.addEventListener("click", function (event) {
            event.preventDefault();
            resultsCallHost(element.getAttribute("data-host"));
        });
    });
    var tickers = document.querySelectorAll("[data-tick]");
    Array.prototype.forEach.call(tickers, function (element) {
        element.addEventListener("click", function (event) {
            event.preventDefault();
            resultsTickAll(element.getAttribute("data-tick") === "1");
        });
    });
});
