// The scanning page. The program fills it through the functions below; every
// text it passes is shown as text, never read as mark-up.
(function () {
  var rows = new Map();  // package code -> its table row
  var paused = false;
  var severityNames = ['Low', 'Mild', 'Moderate', 'High', 'Critical'];

  function external() { return window.external || null; }
  function byId(id) { return document.getElementById(id); }

  function cell(text, className) {
    var td = document.createElement('td');
    if (className) td.className = className;
    td.textContent = text;
    td.title = text;
    return td;
  }

  // mode "0": stopping; "1": scanning (pause and stop); "2": starting.
  window.enable_scan_control_buttons = function (mode) {
    var on = String(mode) === '1';
    byId('pause_button').disabled = !on;
    byId('stop_button').disabled = !on;
    return true;
  };

  window.set_scan_type = function (index) {
    var radio = byId('scanner' + String(index));
    if (radio) radio.checked = true;
    return !!radio;
  };

  window.UpdateProgress = function (name, value) {
    var bar = byId('bar_' + String(name));
    if (!bar) return false;
    var percent = Math.max(0, Math.min(100, parseInt(value, 10) || 0));
    bar.style.width = percent + '%';
    return true;
  };

  window.add_item_to_table_ss = function (code, name, shortType, severity, fullType) {
    code = String(code);
    if (rows.has(code)) return false;
    var body = byId('found_rows');
    var empty = body.querySelector('tr.empty');
    if (empty) empty.remove();
    var tr = document.createElement('tr');
    tr.appendChild(cell(String(name)));
    var type = cell(String(shortType), 'type');
    type.title = String(fullType);
    tr.appendChild(type);
    var level = parseInt(severity, 10);
    if (!(level >= 0 && level <= 4)) level = 2;
    var sev = document.createElement('td');
    sev.className = 'severity';
    var pill = document.createElement('span');
    pill.className = 'sev sev' + level;
    pill.textContent = severityNames[level];
    sev.appendChild(pill);
    tr.appendChild(sev);
    tr.appendChild(cell('0', 'count'));
    body.appendChild(tr);
    rows.set(code, tr);
    tr.scrollIntoView({block: 'nearest'});
    return true;
  };

  window.increase_row_count = function (code, count) {
    var tr = rows.get(String(code));
    if (!tr) return false;
    var td = tr.querySelector('td.count');
    td.textContent = String(count);
    td.title = String(count);
    return true;
  };

  // The number of threats found so far ("r": the running scan's counter).
  window.num2image = function (count, kind) {
    var n = parseInt(count, 10) || 0;
    var label = byId('threat_count');
    label.textContent = n === 0 ? 'None so far' : (n === 1 ? '1 threat' : n + ' threats');
    label.classList.toggle('some', n > 0);
    return true;
  };

  // Test and page helpers: the rows as shown.
  window.scan_rows = function () {
    var out = [];
    rows.forEach(function (tr, code) {
      var cells = tr.querySelectorAll('td');
      out.push([code, cells[0].textContent, cells[1].textContent, cells[1].title,
                tr.querySelector('.sev').className.replace('sev sev', ''), cells[3].textContent].join('|'));
    });
    return out.join('\n');
  };

  document.addEventListener('DOMContentLoaded', function () {
    byId('pause_button').addEventListener('click', function () {
      var ext = external();
      paused = !paused;
      byId('pause_button').textContent = paused ? 'Resume' : 'Pause';
      if (ext) ext.pause_scan();
    });
    byId('stop_button').addEventListener('click', function () {
      var ext = external();
      if (ext) ext.stop_scan();
    });
  });
})();
