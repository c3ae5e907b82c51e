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
   * 2 to "var" and "admin", 3 to "admin" only. */
  function applyLevels(body) {
    var levels = parseLevels(body.getAttribute("data-showlevel") || "");
    var rank = RANK[body.getAttribute("data-identity")] || 1;
    var nodes = document.querySelectorAll("[data-level]");
    for (var i = 0; i < nodes.length; i++) {
      var level = levels[nodes[i].getAttribute("data-level")];
      if (level === undefined || level === "") continue;
      if (parseInt(level, 10) > rank || level === "0") nodes[i].hidden = true;
    }
  }

  function markMenu() {
    var match = /[?&]p=([^&]*)/.exec(window.location.search);
    var page = match ? decodeURIComponent(match[1]) : "";
    var links = document.querySelectorAll(".menu a[data-page]");
    for (var i = 0; i < links.length; i++) {
      if (page.indexOf(links[i].getAttribute("data-page")) === 0) links[i].className = "active";
    }
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
    var target = "/servlet?p=" + encodeURIComponent(page === "notice" ? "status" : page) + "&q=load";
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

  document.addEventListener("DOMContentLoaded", function () {
    applyLevels(document.body);
    markMenu();
    var notice = document.getElementById("notice");
    if (notice) runNotice(notice);
    translate(document);
  });
})();
