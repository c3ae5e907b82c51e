/* Two lists, disabled and enabled: entries move between them and up and
 * down with the buttons or the keyboard (arrow right/left move across,
 * Alt+arrow up/down reorders). On submit every entry travels in order as a
 * field named after its list. */
(function () {
  "use strict";

  function selected(list) {
    return Array.prototype.filter.call(list.options, function (o) { return o.selected; });
  }

  function move(picker, how) {
    var off = picker.querySelector(".pick-off"), on = picker.querySelector(".pick-on");
    if (how === "on") selected(off).forEach(function (o) { on.appendChild(o); });
    if (how === "off") selected(on).forEach(function (o) { off.appendChild(o); });
    [off, on].forEach(function (list) {
      var picked = selected(list);
      if (how === "up") picked.forEach(function (o) {
        if (o.previousElementSibling && !o.previousElementSibling.selected) list.insertBefore(o, o.previousElementSibling);
      });
      if (how === "down") picked.reverse().forEach(function (o) {
        if (o.nextElementSibling && !o.nextElementSibling.selected) list.insertBefore(o.nextElementSibling, o);
      });
    });
  }

  document.querySelectorAll(".picker").forEach(function (picker) {
    picker.querySelectorAll("[data-move]").forEach(function (button) {
      button.addEventListener("click", function () { move(picker, button.getAttribute("data-move")); });
    });
    picker.querySelectorAll("select").forEach(function (list) {
      list.addEventListener("keydown", function (event) {
        var how = { ArrowRight: "on", ArrowLeft: "off" }[event.key];
        if (event.altKey) how = { ArrowUp: "up", ArrowDown: "down" }[event.key];
        if (!how) return;
        event.preventDefault();
        move(picker, how);
      });
    });
  });

  document.querySelectorAll("form").forEach(function (form) {
    form.addEventListener("submit", function () {
      form.querySelectorAll(".picker select[data-field]").forEach(function (list) {
        Array.prototype.forEach.call(list.options, function (o) {
          var field = document.createElement("input");
          field.type = "hidden";
          field.name = list.getAttribute("data-field");
          field.value = o.value;
          form.appendChild(field);
        });
      });
    });
  });
})();
