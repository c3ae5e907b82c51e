/* Shared page behaviour: translation, access levels, menu, notice page.
 * Every page works without this script; it only refines what is shown. */
(function () {
  "use strict";

  var RANK = { user: 1, "var": 2, admin: 3 };

  function translate(root) {
    var words = window.LANG || {};
    var nodes = root.querySelectorAll(".t");
    for (var i = 0; i < nodes.length; i++) {
      var text = nodes[i].textContent.trim();
      if (Object.prototype.hasOwnProperty.call(words, text)) nodes[i].textContent = words[text];
    }
  }

  /* "menu=level&...$item=level&..." (either part may be missing). */
  function parseLevels(text) {
    var levels = {};
    text.split("$").forEach(function (part) {
      part.split("&").forEach(function (entry) {
        var at = entry.indexOf("=");
        if (at > 0) levels[entry.substring(0, at)] = entry.substring(at + 1);
      });
    });
    return levels;
  }

  /* Level 0 hides an item from everybody, 1 shows it to every identity,
   * 2 to "var" and "admin", 3 to "admin" only; "N:M" shows it from N and
   * lets it be changed from M (the server holds to the same rule). */
  function applyLevels(body) {
    var levels = parseLevels(body.getAttribute("data-showlevel") || "");
    var rank = RANK[body.getAttribute("data-identity")] || 1;
    var nodes = document.querySelectorAll("[data-level]");
    for (var i = 0; i < nodes.length; i++) {
      var level = levels[nodes[i].getAttribute("data-level")];
      if (level === undefined || level === "") continue;
      var parts = level.split(":");
      var see = parseInt(parts[0], 10), change = parts.length > 1 ? parseInt(parts[1], 10) : see;
      if (!(see > 0) || see > rank) { nodes[i].hidden = true; continue; }
      if (!(change > 0) || change > rank) {
        var fields = nodes[i].querySelectorAll("input, select, textarea");
        for (var f = 0; f < fields.length; f++) fields[f].disabled = true;
      }
    }
  }

  /* A refused save lists its reasons above the form; each also goes next
   * to its field, named by the field's label. */
  function placeFieldErrors() {
    var items = document.querySelectorAll("#fieldErrors li[data-field]");
    for (var i = 0; i < items.length; i++) {
      var name = items[i].getAttribute("data-field");
      var field = document.getElementById(name) || document.getElementsByName(name)[0];
      if (!field) continue;
      var label = document.querySelector('label[for="' + field.id + '"]');
      if (label) items[i].querySelector(".field").textContent = label.textContent;
      var note = document.createElement("p");
      note.className = "field-error";
      note.id = "error-" + name;
      note.textContent = items[i].querySelector(".t").textContent;
      field.parentNode.insertBefore(note, field.nextSibling);
      field.setAttribute("aria-invalid", "true");
      field.setAttribute("aria-describedby", note.id);
      if (i === 0) field.focus();
    }
  }

  function markMenu() {
    var match = /[?&]p=([^&]*)/.exec(window.location.search);
    var page = match ? decodeURIComponent(match[1]) : "";
    var links = document.querySelectorAll(".menu a[data-page], .submenu a[data-page]");
    for (var i = 0; i < links.length; i++) {
      var name = links[i].getAttribute("data-page");
      /* Main entries stand for their area's prefix; tabs for one page. */
      var sub = links[i].parentNode.className.indexOf("submenu") >= 0;
      if (sub ? page === name : page.indexOf(name) === 0) links[i].className = "active";
    }
    var groups = document.querySelectorAll(".submenu[data-group]");
    for (var g = 0; g < groups.length; g++) {
      if (groups[g].getAttribute("data-group").split(" ").indexOf(page) >= 0) groups[g].hidden = false;
    }
  }

  /* A field with data-same-as must repeat the named field before its form
   * is sent (a new password typed twice). */
  function checkRepeats(form) {
    var fields = form.querySelectorAll("[data-same-as]");
    for (var i = 0; i < fields.length; i++) {
      var other = document.getElementById(fields[i].getAttribute("data-same-as"));
      var same = !other || other.value === fields[i].value;
      var words = window.LANG || {};
      var text = "The two passwords differ.";
      fields[i].setCustomValidity(same ? "" : (words[text] || text));
      if (!same) { fields[i].reportValidity(); return false; }
    }
    return true;
  }

  /* "setTimeout$page$text": show the text, then return to the page.
   * "setInterval$page$text": the phone is going away (reboot, reset); keep
   * asking for the page and return once it answers again. */
  function runNotice(box) {
    var label = box.getAttribute("data-label") || "";
    var parts = label.split("$");
    if (parts.length < 3) return;
    var mode = parts[0], page = parts[1], text = parts.slice(2).join("$");
    var words = window.LANG || {};
    document.getElementById("noticeText").textContent =
      Object.prototype.hasOwnProperty.call(words, text) ? words[text] : text;
    /* Notices name the page to return to; a few by their title. */
    var PAGE_OF = { notice: "status", Password: "security" };
    var target = "/servlet?p=" + encodeURIComponent(PAGE_OF[page] || page) + "&q=load";
    var back = document.getElementById("noticeBack");
    back.href = target;
    function go() {
      if (page === "notice" && window.history.length > 1) window.history.back();
      else window.location.href = target;
    }
    if (mode === "setInterval") {
      var timer = window.setInterval(function () {
        if (!window.fetch) return;
        window.fetch(target, { cache: "no-store" }).then(function (answer) {
          if (answer.ok) { window.clearInterval(timer); window.location.href = target; }
        }, function () {});
      }, 5000);
    } else {
      window.setTimeout(go, 3000);
    }
  }

  /* Selects show their stored value; a value the options do not know is
   * kept as an extra option, so saving never changes it behind the user's
   * back. */
  function showStoredValues() {
    var selects = document.querySelectorAll("select[data-value]");
    for (var s = 0; s < selects.length; s++) {
      var select = selects[s], value = select.getAttribute("data-value"), found = false;
      for (var i = 0; i < select.options.length && !found; i++) {
        if (select.options[i].value === value) { select.selectedIndex = i; found = true; }
      }
      if (found || value === "") continue;
      var extra = document.createElement("option");
      extra.value = value;
      extra.textContent = value;
      select.appendChild(extra);
      select.value = value;
    }
  }

  /* A form with data-confirm asks before it is sent. */
  function confirmSubmit(event) {
    var text = event.target.getAttribute("data-confirm");
    if (!text) return;
    var words = window.LANG || {};
    if (!window.confirm(words[text] || text)) event.preventDefault();
  }

  document.addEventListener("DOMContentLoaded", function () {
    if (window.LANG_CODE) document.documentElement.lang = window.LANG_CODE;
    applyLevels(document.body);
    showStoredValues();
    /* A chooser that switches the page (entry, account) goes at once. */
    var switches = document.querySelectorAll("select[data-autosubmit]");
    for (var a = 0; a < switches.length; a++) {
      switches[a].addEventListener("change", function (event) { event.target.form.submit(); });
    }
    markMenu();
    var notice = document.getElementById("notice");
    if (notice) runNotice(notice);
    var forms = document.querySelectorAll("form");
    for (var f = 0; f < forms.length; f++) {
      forms[f].addEventListener("submit", function (event) {
        if (!checkRepeats(event.target)) event.preventDefault();
        else confirmSubmit(event);
      });
      forms[f].addEventListener("input", function (event) {
        if (event.target.hasAttribute("data-same-as")) event.target.setCustomValidity("");
      });
    }
    translate(document);
    placeFieldErrors();
  });
})();
