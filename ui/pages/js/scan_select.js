// The scan selection page: the four scan types; the folder tree of a custom
// scan is the program's own window over #block_allow.
(function () {
  function external() { return window.external || null; }

  function markChosen() {
    var radios = document.getElementsByName('scanner_options');
    for (var i = 0; i < radios.length; ++i) {
      var card = radios[i].closest('.scan-type');
      if (card) card.classList.toggle('chosen', radios[i].checked);
    }
  }

  function showTreeFor(value) {
    var ext = external();
    if (!ext) return;
    try {
      if (value === 'custom') ext.show_file_view(); else ext.hide_file_view();
    } catch (e) { /* the host may not offer the tree */ }
  }

  // Called by the program with the radio index "1" to "4".
  window.set_scan_type = function (index) {
    var radio = document.getElementById('scanner' + String(index));
    if (!radio) return false;
    radio.checked = true;
    markChosen();
    return true;
  };

  document.addEventListener('DOMContentLoaded', function () {
    var radios = document.getElementsByName('scanner_options');
    for (var i = 0; i < radios.length; ++i) {
      radios[i].addEventListener('click', function (event) {
        markChosen();
        showTreeFor(event.target.value);
      });
    }
    markChosen();
    // The program also sets the choice without a click event.
    window.setInterval(markChosen, 250);
  });
})();
