/* The upgrade page (the shared script asks the forms' questions): the firmware goes up
 * with a progress bar in the order the phone expects ("ask", then
 * "beforeupgrade", then the image, then "progress"), and the page waits for
 * the phone to come back after its restart. */
(function () {
  "use strict";

  var PAGE = "/servlet?p=settings-upgrade&q=";

  function tr(text) {
    var words = window.LANG || {};
    return Object.prototype.hasOwnProperty.call(words, text) ? words[text] : text;
  }

  function say(text, extra) {
    document.getElementById("upgradeState").textContent = tr(text) + (extra ? " " + extra : "");
  }

  function action(name, method) {
    return window.fetch(PAGE + name, { method: method || "GET", cache: "no-store" })
      .then(function (answer) { return answer.text(); });
  }

  /* The phone goes away and comes back with a new web server: wait for the
   * login page to go and to answer again, then show it. */
  function waitForRestart() {
    var wentAway = false, tries = 0;
    var timer = window.setInterval(function () {
      tries++;
      window.fetch("/servlet?p=login&q=loginForm", { cache: "no-store" }).then(function (answer) {
        if (answer.ok && (wentAway || tries > 40)) {
          window.clearInterval(timer);
          window.location.href = "/servlet?p=status&q=load";
        }
      }, function () { wentAway = true; });
    }, 2000);
  }

  function finish(ok, reason) {
    document.getElementById("upgradeProgress").hidden = true;
    document.getElementById("upgradeState").className = ok ? "note" : "error";
    if (ok) say("The firmware is installed. The phone restarts; log in again when the login page appears.");
    else say("The firmware was not installed. The phone restarts with its present firmware.", reason || "");
    waitForRestart();
  }

  function send(form, button) {
    var bar = document.getElementById("upgradeBar");
    document.getElementById("upgradeProgress").hidden = false;
    say("Sending the firmware ...");
    var request = new XMLHttpRequest();
    request.open("POST", form.action);
    request.upload.onprogress = function (event) {
      if (!event.lengthComputable) return;
      var percent = Math.floor(event.loaded * 100 / event.total);
      bar.value = percent;
      if (percent === 100) say("Checking and installing the firmware ...");
    };
    request.onload = function () {
      var text = request.responseText || "";
      if (request.status !== 200 || text.indexOf("Error:") === 0) {
        finish(false, text.replace(/^Error:/, ""));
        return;
      }
      bar.value = 100;
      action("progress").then(function () { finish(true); }, function () { finish(true); });
    };
    request.onerror = function () { finish(false, ""); button.disabled = false; };
    request.send(new FormData(form));
  }

  document.addEventListener("DOMContentLoaded", function () {
    var form = document.getElementById("upgradeForm");
    if (!form || !window.fetch || !window.FormData) return;
    form.addEventListener("submit", function (event) {
      /* The shared script asked the form's question first: a "no" ends here. */
      if (event.defaultPrevented) return;
      event.preventDefault();
      var button = document.getElementById("upgradeButton");
      if (!form.reportValidity()) return;
      button.disabled = true;
      var safemode = document.getElementById("safemodeForm");
      if (safemode) safemode.hidden = true;
      say("Checking that the phone is idle ...");
      action("ask").then(function (idle) {
        if (idle.trim() !== "true") {
          say("A call is in progress. Upgrade when the phone is idle.");
          button.disabled = false;
          if (safemode) safemode.hidden = false;
          return;
        }
        say("Preparing the phone: its calls and services stop ...");
        return action("beforeupgrade", "POST").then(function (text) {
          if (text.indexOf("Error:") === 0) {
            say(text);
            button.disabled = false;
            return;
          }
          send(form, button);
        });
      }).catch(function () {
        say("The phone does not answer. Try again.");
        button.disabled = false;
      });
    });
  });
})();
