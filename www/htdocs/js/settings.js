/* Settings pages: stored values in selects, confirmations, parts of a form
 * that depend on a choice, the softkey lists and the time-zone picker.
 * Every form also works without this script. */
(function () {
  "use strict";

  function each(selector, fn, root) {
    var nodes = (root || document).querySelectorAll(selector);
    for (var i = 0; i < nodes.length; i++) fn(nodes[i]);
  }
  function word(text) {
    var words = window.LANG || {};
    return Object.prototype.hasOwnProperty.call(words, text) ? words[text] : text;
  }
  function pageName() {
    var match = /[?&]p=([^&]*)/.exec(window.location.search);
    return match ? decodeURIComponent(match[1]) : "";
  }

  /* data-when="Field=value Field=value": shown while one of them holds. */
  function applyConditions() {
    each("[data-when]", function (part) {
      var show = part.getAttribute("data-when").split(" ").some(function (cond) {
        var at = cond.indexOf("=");
        var field = document.getElementById(cond.substring(0, at));
        return field && field.value === cond.substring(at + 1);
      });
      part.hidden = !show;
    });
  }

  /* ---- Softkey lists ---- */

  function moveOptions(from, to) {
    var chosen = [];
    for (var i = 0; i < from.options.length; i++) if (from.options[i].selected) chosen.push(from.options[i]);
    chosen.forEach(function (option) { to.appendChild(option); });
    if (chosen.length) to.focus();
  }
  function shiftOptions(list, step) {
    var options = Array.prototype.slice.call(list.options);
    if (step > 0) options.reverse();
    options.forEach(function (option) {
      if (!option.selected) return;
      var other = step < 0 ? option.previousElementSibling : option.nextElementSibling;
      if (!other || other.selected) return;
      if (step < 0) list.insertBefore(option, other); else list.insertBefore(other, option);
    });
  }
  function initSoftkeys(form) {
    var off = document.getElementById("disabledKeys");
    var on = document.getElementById("enabledKeys");
    if (!off || !on) return;
    var moves = {
      enable: function () { moveOptions(off, on); },
      disable: function () { moveOptions(on, off); },
      up: function () { shiftOptions(on, -1); },
      down: function () { shiftOptions(on, 1); }
    };
    each("[data-move]", function (button) {
      button.hidden = false;
      button.addEventListener("click", moves[button.getAttribute("data-move")]);
    }, form);
    /* Alt+Right / Alt+Left move between the lists, Alt+Up / Alt+Down reorder. */
    [off, on].forEach(function (list) {
      list.addEventListener("keydown", function (event) {
        if (!event.altKey) return;
        var action = { ArrowRight: "enable", ArrowLeft: "disable", ArrowUp: "up", ArrowDown: "down" }[event.key];
        if (!action || (list === off && (action === "up" || action === "down"))) return;
        event.preventDefault();
        moves[action]();
      });
    });
    form.addEventListener("submit", function () {
      function join(list) {
        return Array.prototype.map.call(list.options, function (o) { return o.value; }).join(",");
      }
      form.elements.unSelectSoftKeys.value = join(off);
      form.elements.selectSoftKeys.value = join(on);
    });
  }

  /* ---- Time zone picker and daylight-saving rule ---- */

  function initDateTime(form) {
    var zones = document.getElementById("TimeZoneAndName");
    var filter = document.getElementById("zoneFilter");
    var mode = document.getElementById("LocalTimeDaylightSaving");
    if (!zones || !mode) return;
    if (filter) {
      filter.hidden = false;
      filter.addEventListener("input", function () {
        var text = filter.value.toLowerCase();
        var first = null;
        for (var i = 0; i < zones.options.length; i++) {
          var match = zones.options[i].text.toLowerCase().indexOf(text) >= 0;
          zones.options[i].hidden = !match;
          if (match && !first) first = zones.options[i];
        }
        if (first && zones.selectedOptions[0] && zones.selectedOptions[0].hidden) {
          first.selected = true;
          zoneChanged();
        }
      });
    }
    var ruleFields = form.querySelectorAll("fieldset.dst select, fieldset.dst input, #DSTTimeType, #DSTOffSetTime");
    function lockRule() {
      var automatic = mode.value === "2";
      for (var i = 0; i < ruleFields.length; i++) ruleFields[i].disabled = automatic;
    }
    function set(id, value) {
      var field = document.getElementById(id);
      if (field && value !== undefined) field.value = value;
    }
    /* The answer looks like {Type:'1',sMonth:'3',...}: read its pairs. */
    function zoneChanged() {
      if (mode.value !== "2" || !window.fetch) return;
      window.fetch("/servlet?p=settings-datetime&q=TimeZoneChanged&z=" + encodeURIComponent(zones.value),
                   { cache: "no-store", credentials: "same-origin" })
        .then(function (answer) { return answer.ok ? answer.text() : ""; })
        .then(function (text) {
          var rule = {};
          text.replace(/(\w+):'?([-0-9]*)'?/g, function (all, key, value) { rule[key] = value; });
          if (rule.Type === "0" || rule.Type === "1") {
            var kind = rule.Type === "0" ? "sDate" : "sWeek";
            set("DSTTimeType", rule.Type);
            set(kind + "SMonth", rule.sMonth); set(kind + "SDay", rule.sDay); set(kind + "SHour", rule.sHour);
            set(kind + "EMonth", rule.eMonth); set(kind + "EDay", rule.eDay); set(kind + "EHour", rule.eHour);
            set("sWeekSWeek", rule.sWeek); set("sWeekEWeek", rule.eWeek);
            set("DSTOffSetTime", rule.offset);
          } else if (rule.Type === "3") {
            set("DSTOffSetTime", "");
          }
          applyConditions();
        }, function () {});
    }
    zones.addEventListener("change", zoneChanged);
    mode.addEventListener("change", function () { lockRule(); zoneChanged(); });
    lockRule();
  }

  document.addEventListener("DOMContentLoaded", function () {
    applyConditions();
    each("select, input", function (field) { field.addEventListener("change", applyConditions); });
    each("[data-confirm]", function (button) {
      button.addEventListener("click", function (event) {
        if (!window.confirm(word(button.getAttribute("data-confirm")))) event.preventDefault();
      });
    });
    each(".js-hide", function (node) { node.hidden = true; });
    var page = pageName();
    each(".tabs a[data-tab]", function (tab) {
      if (tab.getAttribute("data-tab") === page) { tab.className = "active"; tab.setAttribute("aria-current", "page"); }
    });
    each("form[data-softkeys]", initSoftkeys);
    each("form[data-datetime]", initDateTime);
  });
})();
