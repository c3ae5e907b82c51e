/* Maintenance pages: stored choices in selects, confirmations before
 * destructive actions, the upload size limit and the provisioning state. */
(function () {
  "use strict";

  function word(text) {
    var words = window.LANG || {};
    return Object.prototype.hasOwnProperty.call(words, text) ? words[text] : text;
  }

  function each(selector, fn) {
    var nodes = document.querySelectorAll(selector);
    for (var i = 0; i < nodes.length; i++) fn(nodes[i]);
  }

  /* The form's (or the pressed button's) data-confirm text must be accepted;
   * a file over data-max-bytes is refused before it is sent. */
  function guard(event) {
    var form = event.target;
    var button = event.submitter;
    var limit = parseInt(form.getAttribute("data-max-bytes") || "0", 10);
    var files = form.querySelectorAll("input[type=file]");
    for (var i = 0; limit && i < files.length; i++) {
      var file = files[i].files && files[i].files[0];
      if (file && file.size > limit) {
        files[i].setCustomValidity(word("The file is larger than 16 MB."));
        files[i].reportValidity();
        files[i].setCustomValidity("");
        event.preventDefault();
        return;
      }
    }
    /* A form's own data-confirm is asked by the shared script. */
    var text = button && button.getAttribute("data-confirm");
    if (text && !window.confirm(word(text) + "\n" + word("Continue?"))) event.preventDefault();
  }

  function watchProvisioning(box) {
    if (!window.fetch) return;
    function ask() {
      window.fetch(box.getAttribute("data-url"), { cache: "no-store", credentials: "same-origin" })
        .then(function (answer) { return answer.ok ? answer.text() : ""; })
        .then(function (text) {
          var busy = text.trim() === "autoprovision";
          box.textContent = word(busy ? "Provisioning ..." : "Idle");
          box.className = busy ? "state state-Registering" : "state";
        }, function () {});
    }
    ask();
    window.setInterval(ask, 5000);
  }

  document.addEventListener("DOMContentLoaded", function () {
    each("form", function (form) { form.addEventListener("submit", guard); });
    each("#autopState", watchProvisioning);
  });
})();
