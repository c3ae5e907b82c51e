/* DSS key page: picking another function for a key asks the phone which
 * parameters and options that function has on this key and redraws the
 * row's fields in place (the shared script asks before the reset).
 * Without this script the form still posts every key as shown. */
(function () {
  "use strict";

  function t(text) {
    var words = window.LANG || {};
    var line = /^Line (\d+)$/.exec(text);
    if (line) return t("Line") + " " + line[1];
    return Object.prototype.hasOwnProperty.call(words, text) ? words[text] : text;
  }

  function each(selector, fn, root) {
    var nodes = (root || document).querySelectorAll(selector);
    for (var i = 0; i < nodes.length; i++) fn(nodes[i]);
  }

  /* The answer names its members without quotes and doubles every "%";
   * quote the names outside strings and read it as JSON, never as code. */
  function parseAnswer(text) {
    text = text.replace(/%%/g, "%");
    var out = "";
    for (var i = 0; i < text.length; i++) {
      var c = text.charAt(i);
      if (c === '"') {
        var end = i + 1;
        while (end < text.length && text.charAt(end) !== '"') end += text.charAt(end) === "\\" ? 2 : 1;
        out += text.substring(i, end + 1);
        i = end;
      } else if (/[A-Za-z_]/.test(c)) {
        var name = /^[A-Za-z_]\w*/.exec(text.substring(i))[0];
        out += '"' + name + '"';
        i += name.length - 1;
      } else {
        out += c;
      }
    }
    return JSON.parse(out);
  }

  function fillOptions(select, list, selected) {
    while (select.options.length) select.remove(0);
    if (!list) return;
    for (var i = 0; i < list.keys.length; i++) {
      var option = document.createElement("option");
      option.value = list.keys[i];
      option.textContent = t(list.values[i]);
      select.appendChild(option);
    }
    select.value = selected;
    if (select.selectedIndex < 0 && select.options.length) select.selectedIndex = 0;
  }

  function show(field, visible, enabled) {
    field.hidden = !visible;
    field.disabled = !visible || !enabled;
  }

  function applyAnswer(row, key, answer) {
    var flags = answer.controller, values = answer.attrvalue;
    var list = document.getElementById("memValueList_" + key);
    var text = document.getElementById("memValue_" + key);
    var line = document.getElementById("selLine_" + key);
    var label = document.getElementById("memLabel_" + key);
    var ext = document.getElementById("memExt_" + key);
    if (list && text) {
      var withList = !!answer.valuelist;
      if (withList) fillOptions(list, answer.valuelist, values.strvalue);
      else text.value = values.strvalue;
      show(list, withList, flags.bValue);
      show(text, !withList, flags.bValue);
    }
    if (line) {
      fillOptions(line, answer.linelist, values.strline);
      line.disabled = !flags.bLine;
    }
    if (label) { label.value = values.strlabel; label.disabled = !flags.bLabel; }
    if (ext) { ext.value = values.strext; ext.disabled = !flags.bExt; }
    row.removeAttribute("aria-busy");
    var status = document.getElementById("keyStatus");
    if (status) status.textContent = row.querySelector("th").textContent.trim() + ": " + t("fields updated");
  }

  function typeChanged(form, select) {
    var row = select.closest("tr");
    var key = row.getAttribute("data-key");
    var query = "/servlet?p=dsskey&q=typeChanged&model=" + encodeURIComponent(form.getAttribute("data-model")) +
      "&extno=" + encodeURIComponent(form.getAttribute("data-module")) +
      "&keyindex=" + encodeURIComponent(key) + "&dktype=" + encodeURIComponent(select.value);
    if (!window.fetch) return;
    row.setAttribute("aria-busy", "true");
    window.fetch(query, { cache: "no-store", credentials: "same-origin" })
      .then(function (answer) { return answer.ok ? answer.text() : ""; })
      .then(function (text) {
        if (text) applyAnswer(row, key, parseAnswer(text));
        else row.removeAttribute("aria-busy");
      }, function () { row.removeAttribute("aria-busy"); });
  }

  function markTabs(form) {
    var model = form ? form.getAttribute("data-model") : "3";
    each(".submenu a[data-model]", function (link) {
      if (link.getAttribute("data-model") === model) link.className = "active";
    });
    var pages = document.getElementById("linePages");
    if (!pages) return;
    each("a", function (link) {
      if (link.getAttribute("data-page") === pages.getAttribute("data-current")) {
        link.className = "active";
        link.setAttribute("aria-current", "page");
      }
    }, pages);
  }

  document.addEventListener("DOMContentLoaded", function () {
    var form = document.getElementById("dsskeyForm");
    markTabs(form);
    each("td[data-label]", function (cell) { cell.setAttribute("data-label", t(cell.getAttribute("data-label"))); });
    each("select[id^=selLine_] option", function (option) { option.textContent = t(option.textContent); });
    each("select.keytype", function (select) {
      select.addEventListener("change", function () { typeChanged(form, select); });
    });
    each("select.autosubmit", function (select) {
      select.addEventListener("change", function () { select.form.submit(); });
    });
    each(".js-hide", function (node) { node.hidden = true; });
  });
})();
