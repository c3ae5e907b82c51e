/* Account pages: selects show their stored value, the account selector
 * switches pages, the registration state refreshes itself and the codec
 * lists are edited in place. Without this script the forms still post the
 * stored values unchanged. */
(function () {
  "use strict";

  var STATES = ["Disabled", "Registering", "Registered", "Register Failed",
                "Unregistered", "Registered", "Inexistence"];

  function each(selector, fn) {
    var nodes = document.querySelectorAll(selector);
    for (var i = 0; i < nodes.length; i++) fn(nodes[i]);
  }

  function pollStatus(box) {
    var account = box.getAttribute("data-account");
    function ask() {
      if (!window.fetch) return;
      window.fetch("/servlet?p=account-register&q=askstatus&acc=" + encodeURIComponent(account),
                   { cache: "no-store", credentials: "same-origin" })
        .then(function (answer) { return answer.ok ? answer.text() : null; })
        .then(function (text) {
          if (text === null || !/^\d+$/.test(text)) return;
          var word = STATES[parseInt(text, 10)] || "Unknown";
          var words = window.LANG || {};
          box.textContent = Object.prototype.hasOwnProperty.call(words, word) ? words[word] : word;
          box.className = "state state-" + word.split(" ")[0];
        }, function () {});
    }
    window.setInterval(ask, 5000);
  }

  function markTab() {
    var match = /[?&]p=([^&]*)/.exec(window.location.search);
    var page = match ? decodeURIComponent(match[1]) : "";
    each("#accountTabs a", function (link) {
      if (link.getAttribute("data-page") === page) link.className = "active";
    });
  }

  /* ---- Codec lists ---- */

  function moveSelected(from, to) {
    var moving = [];
    for (var i = 0; i < from.options.length; i++) if (from.options[i].selected) moving.push(from.options[i]);
    moving.forEach(function (option) { to.appendChild(option); });
  }

  function shift(list, up) {
    var options = Array.prototype.slice.call(list.options);
    if (!up) options.reverse();
    options.forEach(function (option) {
      if (!option.selected) return;
      var neighbour = up ? option.previousElementSibling : option.nextElementSibling;
      if (!neighbour || neighbour.selected) return;
      list.insertBefore(up ? option : neighbour, up ? neighbour : option);
    });
  }

  function listText(list) {
    var entries = [];
    for (var i = 0; i < list.options.length; i++) entries.push(list.options[i].value);
    return entries.join(",");
  }

  function codecEditor(form) {
    var enabled = document.getElementById("enabledList");
    var disabled = document.getElementById("disabledList");
    var actions = {
      disable: function () { moveSelected(enabled, disabled); },
      enable: function () { moveSelected(disabled, enabled); },
      up: function () { shift(enabled, true); },
      down: function () { shift(enabled, false); }
    };
    each("button[data-codec]", function (button) {
      button.hidden = false;
      button.addEventListener("click", function (event) {
        event.preventDefault();
        actions[button.getAttribute("data-codec")]();
      });
    });
    form.addEventListener("submit", function () {
      form.elements.enabled.value = listText(enabled);
      form.elements.disabled.value = listText(disabled);
    });
  }

  document.addEventListener("DOMContentLoaded", function () {
    markTab();
    each("select.autosubmit", function (select) {
      select.addEventListener("change", function () { select.form.submit(); });
    });
    var state = document.getElementById("accountStatus");
    if (state) pollStatus(state);
    var codecs = document.getElementById("codecForm");
    if (codecs) codecEditor(codecs);
  });
})();
